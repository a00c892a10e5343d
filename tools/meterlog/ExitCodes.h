#pragma once

// meterlog's exit codes, as --help and the README list them.
namespace ExitCode {

constexpr int Done = 0;
constexpr int Usage = 2;
constexpr int PortUnavailable = 3;
constexpr int InputUnreadable = 4;
constexpr int OutputUnwritable = 5;
// A second stop signal ends the run at once with 128 + the signal's number (130, 143).
constexpr int SignalBase = 128;

} // namespace ExitCode
