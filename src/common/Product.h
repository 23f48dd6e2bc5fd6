#pragma once

#include <QString>

namespace Product {
// The program title; frame caption and the start of every window search.
inline const QString AppTitle = QStringLiteral("Korvix 6.4");
// Pages that come with the program, readable offline.
inline const QString StartPageUrl = QStringLiteral("qrc:/korvix/start.html");
inline const QString DocumentationUrl = QStringLiteral("qrc:/korvix/doku.html");
inline const QString WebsiteUrl = QStringLiteral("qrc:/korvix/site.html");
} // namespace Product
