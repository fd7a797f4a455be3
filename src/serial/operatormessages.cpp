#include "serial/operatormessages.h"

namespace {

OperatorMessageSink &sink()
{
    static OperatorMessageSink current;
    return current;
}

} // namespace

void setOperatorMessageSink(OperatorMessageSink newSink)
{
    sink() = std::move(newSink);
}

void tellOperator(const QString &text)
{
    // A copy: the sink may be replaced while its message box is open.
    const OperatorMessageSink current = sink();
    if (current)
        current(text);
}
