#pragma once
// The engine's explicit start-up and shut-down: the process-wide values every scripter
// relies on, set up in a fixed order by one call (no static initialisers with effects).
// Tests start and stop the engine around each test.

namespace vorn::engine {

// In order: the core constant table, the process-wide library list (and the libraries
// the engine itself registers), the global scripter hooks cleared, the plain machine as
// the default machine class, Null as NullValue.
void StartEngine();
// Frees what StartEngine set up and resets the process-wide values; safe to call twice.
void StopEngine() noexcept;
bool EngineStarted() noexcept;

} // namespace vorn::engine
