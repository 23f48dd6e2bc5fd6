#pragma once

#include "common/Version.h"

#include <QString>

namespace Product {
inline const QString Version = QStringLiteral(KORVIX_VERSION);
// The program title; frame caption and the start of every window search.
inline const QString AppTitle = QStringLiteral("Korvix " KORVIX_VERSION);
// Pages that come with the program, readable offline.
inline const QString StartPageUrl = QStringLiteral("qrc:/korvix/start.html");
inline const QString DocumentationUrl = QStringLiteral("qrc:/korvix/doku.html");
inline const QString WebsiteUrl = QStringLiteral("qrc:/korvix/site.html");
} // namespace Product
