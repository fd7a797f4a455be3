#ifndef OPERATORMESSAGES_H
#define OPERATORMESSAGES_H

#include <QString>

#include <functional>

// Where the serial layer's messages for the operator go: a message box in the windowed program,
// stderr when capturing without a window. Without a sink they are dropped.
using OperatorMessageSink = std::function<void(const QString &text)>;
void setOperatorMessageSink(OperatorMessageSink sink);
// Returns once the operator has been told (a message box has been closed).
void tellOperator(const QString &text);

#endif // OPERATORMESSAGES_H
