#ifndef MODEMLINES_H
#define MODEMLINES_H

#include <QtGlobal>

#include <optional>

class QSerialPort;

// The few system calls on a line's control signals, break and error counts. The port's own
// calls for them raise error signals (a message box) on a port without them, such as a
// pseudo-terminal; these answer quietly instead. Tests substitute this seam, never the port.
class ModemLines
{
public:
    enum Line { Dtr = 0x01, Rts = 0x02, Cts = 0x04, Dsr = 0x08, Dcd = 0x10, Ri = 0x20 };

    // What the driver has counted since the line was set up.
    struct Counts
    {
        quint32 frame = 0;
        quint32 parity = 0;
        quint32 overrun = 0;
        quint32 brk = 0;
        bool operator==(const Counts &other) const
        {
            return frame == other.frame && parity == other.parity && overrun == other.overrun
                && brk == other.brk;
        }
        bool operator!=(const Counts &other) const { return !(*this == other); }
    };

    ModemLines() = default;
    virtual ~ModemLines() = default;
    ModemLines(const ModemLines &) = delete;
    ModemLines &operator=(const ModemLines &) = delete;

    // The lines that are on (Line bits), or nothing where the port cannot report them.
    virtual std::optional<int> lines(QSerialPort *port);
    virtual bool setLine(QSerialPort *port, Line line, bool on);
    virtual bool setBreak(QSerialPort *port, bool on);
    // Nothing where the driver keeps no counts.
    virtual std::optional<Counts> counts(QSerialPort *port);

    static ModemLines *current();
    // For tests: `stand-in` answers from now on (not owned); nullptr goes back to the system.
    static void substitute(ModemLines *standIn);
};

#endif // MODEMLINES_H
