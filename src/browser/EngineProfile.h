#pragma once

#include <QString>

class QWebEngineProfile;
class SiteGrants;

// The one web engine profile every page shares: storage in the program
// folder (cookies and cache survive a restart), German as the language sites
// are asked for, downloads and site notifications, and what the user allowed
// sites in this session.
namespace EngineProfile {

// Creates the profile under appDir; later calls do nothing.
void init(const QString& appDir);
// Releases the profile; every page must be gone by then.
void release();
QWebEngineProfile* profile();
SiteGrants& grants();

// What pages ask servers for: German first, then English.
inline constexpr char AcceptLanguage[] = "de-DE,de;q=0.9,en;q=0.8";

} // namespace EngineProfile
