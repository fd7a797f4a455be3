#ifndef PTYPEER_H
#define PTYPEER_H

#include <QByteArray>
#include <QString>

// The far end of a real pseudo-terminal, in raw mode, for talking to a device under test.
// The device opens slavePath() (or a COM name mapped to it with mapTo()).
class PtyPeer
{
public:
    // Mapped to the COM name at once when one is given; isValid() then covers the mapping too.
    explicit PtyPeer(const QString &comName = QString());
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isValid() const { return m_master >= 0 && m_mapped; }
    QString slavePath() const { return m_slavePath; }
    // The far end's descriptor (non-blocking), for a writer in another thread or process.
    int masterFd() const { return m_master; }

    // Makes the COM name resolve to this pty through the per-user data folder's port mapping.
    bool mapTo(const QString &comName) const;

    // Writes everything; returns false on failure.
    bool write(const QByteArray &bytes);
    // Reads until `count` bytes have arrived or `timeoutMs` passed, while keeping the Qt event
    // loop running so a device in this process can write.
    QByteArray read(int count, int timeoutMs = 10000);
    // Whatever is readable right now, without waiting.
    QByteArray readAvailable();
    // Hangs up: closes the master side, as when a cable is pulled.
    void hangUp();

    // What a device on this peer tells the operator when the line goes:
    // "COM5 (pts/3, dev) was disconnected: Input/output error."
    QString lostLineText(const QString &portName, const QString &deviceName) const;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    bool m_mapped = true;
};

#endif // PTYPEER_H
