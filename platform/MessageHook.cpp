#include "platform/MessageHook.h"

#include "platform/Outcome.h"

#include <cstdio>

namespace {

MessageHook g_hook;

}

MessageHook SetMessageHook(MessageHook hook)
{
    MessageHook old = std::move(g_hook);
    g_hook = std::move(hook);
    return old;
}

void ShowMessage(const QString& strText)
{
    if (g_hook) {
        g_hook(strText);
        return;
    }
    std::fprintf(stderr, "veltrip: %s\n", strText.toLocal8Bit().constData());
}

bool ReportOutcome(const COutcome& outcome)
{
    if (!outcome && outcome.Kind() != EOutcome::Cancelled)
        ShowMessage(outcome.Message());
    return bool(outcome);
}
