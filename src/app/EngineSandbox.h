#pragma once

#include <QString>

// The web engine will not run its sandbox for root. Started as root without
// the switch that turns the sandbox off, the engine would end the program
// without a word as soon as the first page opens.
namespace EngineSandbox {

// The reason this process cannot run the engine, or nothing.
QString problem();

} // namespace EngineSandbox
