#pragma once

#include <QString>
#include <QtGlobal>

// The last fifty actions of the soak, kept where a crash can still print
// them: a fatal signal, a sanitizer's report or an event loop that stands
// still for a minute prints the seed, the step and those actions, then the
// process ends.
namespace SoakTail {

void install(quint64 seed);
// An action starts; its text so far.
void begin(qint64 step, const QString& text);
// The same action's whole text once it is done.
void end(const QString& text);
// The event loop got round.
void pulse();
void print();

} // namespace SoakTail
