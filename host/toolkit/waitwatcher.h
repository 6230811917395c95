#pragma once

#include "host_global.h"
#include "statementlimit.h"

// What the window shows while a lookup's statement runs long: the wait cursor at once, and with
// real dialogs, after a second more, a box that says the database is being waited for with
// "Cancelar", which abandons the lookup.
class HOST_EXPORT WaitWatcher : public StatementWatcher
{
public:
    void waitLong(const std::function<bool()> &done, const std::function<void()> &abandon) override;

    // How long the cursor alone is shown before the box.
    static constexpr int BoxAfterMs = 1000;
};
