#pragma once
// Helpers shared by the test programs.
#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace kvtest {

// Empties the test profile (every section and entry).
void ClearProfile();

// Runs the event loop until pred() holds or timeoutMs passes; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 2000);

// Delivers every posted event now.
void Drain();

// The velocities of the metronome clicks (note 67 on channel 10) among the sent
// messages, failing the test where a click's note-on is not followed at once
// by its note-off.
std::vector<int> ClickVelocities(const std::vector<uint32_t>& sent);

} // namespace kvtest
