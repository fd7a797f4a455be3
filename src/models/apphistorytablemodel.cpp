#include "models/apphistorytablemodel.h"

#include "app/verantisterminalapp.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "serial/serialsettings.h"
#include "util/conversion.h"

#include <QProgressDialog>

namespace {

// Appends text that is ASCII in practice (time, direction, port name) without a temporary
// array per field; anything beyond ASCII goes through the UTF-8 encoder.
void appendText(QByteArray &out, const QString &text)
{
    const QChar *chars = text.constData();
    for (int i = 0; i < text.size(); ++i) {
        if (chars[i].unicode() >= 0x80) {
            out += text.mid(i).toUtf8();
            return;
        }
        out += char(chars[i].unicode());
    }
}

void appendNumber(QByteArray &out, int value)
{
    char digits[16];
    int n = 0;
    unsigned magnitude = value < 0 ? 0u - unsigned(value) : unsigned(value);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        out += '-';
    while (n)
        out += digits[--n];
}

void appendSetting(QByteArray &out, const QStringList &texts, int position)
{
    appendText(out, settingText(texts, position));
}

const char hexDigits[] = "0123456789ABCDEF";

// The ASCII field shows every byte as its Latin-1 character, except control characters (C0,
// DEL and C1), which would split the line or act on the terminal of whoever reads the log,
// and the backslash that introduces their escapes.
void appendAsciiField(QByteArray &out, const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto byte = uchar(c);
        switch (byte) {
        case '\\':
            out += "\\\\";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            out += "\\x";
            out += hexDigits[byte >> 4];
            out += hexDigits[byte & 0xF];
        } else if (byte < 0x80) {
            out += c;
        } else {
            out += char(0xC0 | (byte >> 6));
            out += char(0x80 | (byte & 0x3F));
        }
    }
}

// One export line in UTF-8, without its line end.
void appendHistoryLine(QByteArray &out, const AppHistoryData *record)
{
    const QByteArray bytes = record->bytes();
    appendText(out, record->time());
    out += '-';
    appendText(out, record->direction());
    out += '-';
    const int hexStart = out.size();
    out.resize(hexStart + 2 * bytes.size());
    char *hex = out.data() + hexStart;
    for (const char c : bytes) {
        *hex++ = hexDigits[uchar(c) >> 4];
        *hex++ = hexDigits[uchar(c) & 0xF];
    }
    out += '-';
    appendAsciiField(out, bytes);
    out += '-';
    appendText(out, record->portName());
    out += '-';
    appendNumber(out, record->baudRate());
    out += '-';
    appendNumber(out, record->dataBits());
    out += '-';
    appendSetting(out, stopBitsTexts, record->stopBits());
    out += '-';
    appendSetting(out, parityTexts, record->parity());
    out += '-';
    appendSetting(out, flowControlTexts, record->flowControl());
}

} // namespace

AppHistoryTableModel::AppHistoryTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(11)
    , headers { tr("Time"), tr("Direction"), tr("Bytes"), tr("Ascii"), tr("Port Name"),
        tr("BaudRate"), tr("Data Bits"), tr("Stop Bits"), tr("Parity"), tr("Flow Control"),
        QString() }
{
}

AppHistoryTableModel::~AppHistoryTableModel() = default;

int AppHistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant AppHistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (!index.isValid() || index.row() >= records->size())
        return QVariant();
    const auto *record = static_cast<const AppHistoryData *>(records->at(index.row()));
    if (!record)
        return QVariant();
    switch (index.column()) {
    case 0:
        return record->time();
    case 1:
        return record->direction();
    case 2:
        return bytesToHex(record->bytes());
    case 3:
        return bytesToAscii(record->bytes());
    case 4:
        return record->portName();
    case 5:
        return record->baudRate();
    case 6:
        return record->dataBits();
    case 7:
        return settingText(stopBitsTexts, record->stopBits());
    case 8:
        return settingText(parityTexts, record->parity());
    case 9:
        return settingText(flowControlTexts, record->flowControl());
    default:
        return QString();
    }
}

QVariant AppHistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return headerText(headers, columns, section, orientation, role);
}

Qt::ItemFlags AppHistoryTableModel::flags(const QModelIndex &index) const
{
    // History rows are a record of what happened: neither selectable nor editable.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void AppHistoryTableModel::saveHistory()
{
    // Rows logged from here on (the dialogs below let events through) are not part of it.
    const int rows = records->size();
    if (rows == 0)
        return;
    QProgressDialog progress(tr("Preparing the history"), tr("Cancel"), 0, rows);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    QByteArray block;
    for (int row = 0; row < rows && row < records->size(); ++row) {
        if (row % 16384 == 0) {
            progress.setValue(row);
            if (progress.wasCanceled())
                return;
        }
        if (const AppTableData *record = records->at(row)) {
            appendHistoryLine(block, static_cast<const AppHistoryData *>(record));
            block += '\n';
        }
    }
    progress.reset();
    VerantisTerminalApp::app()->settingsManager()->saveHistoryBlock(block);
}

QString AppHistoryTableModel::historyLine(AppHistoryData *record) const
{
    QByteArray line;
    appendHistoryLine(line, record);
    return QString::fromUtf8(line);
}
