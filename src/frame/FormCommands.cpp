#include "frame/FormCommands.h"

#include "browser/EngineProfile.h"
#include "frame/FrameActions.h"
#include "passwords/SavedPasswordsDialog.h"
#include "prefs/model/KorvixSettings.h"

#include <QAction>

namespace {
const QString German = QStringLiteral("de-DE");
const QString English = QStringLiteral("en-US");
} // namespace

FormCommands::FormCommands(Parts parts, QObject* parent)
    : QObject(parent), m_parts(std::move(parts)) {
    using A = FrameActions;
    QAction* saved = m_parts.actions->action(A::SavedPasswords);
    saved->setEnabled(m_parts.passwords != nullptr);
    connect(saved, &QAction::triggered, this, &FormCommands::showSavedPasswords);

    const KorvixSettings settings(m_parts.programFolder);
    const QStringList languages = settings.spellLanguages();
    m_parts.actions->action(A::SpellCheck)->setChecked(settings.spellCheck());
    m_parts.actions->action(A::SpellGerman)->setChecked(languages.contains(German));
    m_parts.actions->action(A::SpellEnglish)->setChecked(languages.contains(English));
    EngineProfile::setSpellCheck(settings.spellCheck(), languages);
    for (A::Command c : {A::SpellCheck, A::SpellGerman, A::SpellEnglish})
        connect(m_parts.actions->action(c), &QAction::triggered, this,
                &FormCommands::applySpelling);
}

void FormCommands::applySpelling() {
    using A = FrameActions;
    const bool on = m_parts.actions->action(A::SpellCheck)->isChecked();
    QStringList languages;
    if (m_parts.actions->action(A::SpellGerman)->isChecked())
        languages << German;
    if (m_parts.actions->action(A::SpellEnglish)->isChecked())
        languages << English;
    KorvixSettings settings(m_parts.programFolder);
    settings.setSpellCheck(on);
    settings.setSpellLanguages(languages);
    EngineProfile::setSpellCheck(on, languages);
}

void FormCommands::showSavedPasswords() {
    if (m_parts.passwords)
        SavedPasswordsDialog::show(m_parts.frame, *m_parts.passwords);
}
