#pragma once
// Helpers shared by the test programs.
#include <QCoreApplication>
#include <QString>
#include <functional>

namespace kvtest {

// Empties the test profile (every section and entry).
void ClearProfile();

// Runs the event loop until pred() holds or timeoutMs passes; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 2000);

// Delivers every posted event now.
void Drain();

} // namespace kvtest
