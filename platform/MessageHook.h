#pragma once

#include <QString>
#include <functional>

// Every message the program shows the user goes through here. The windowed
// program routes it to a modal message box, the command-line tools print it
// to stderr (the default), and tests capture it.
using MessageHook = std::function<void(const QString& strText)>;

// Installs a hook and returns the one it replaces; an empty hook restores
// the default.
MessageHook SetMessageHook(MessageHook hook);

// Shows one message and returns once the user has seen it.
void ShowMessage(const QString& strText);

class COutcome;

// Shows the message of a failed outcome, unless the user cancelled it; true
// when it succeeded.
bool ReportOutcome(const COutcome& outcome);
