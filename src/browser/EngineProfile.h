#pragma once

#include <QByteArray>
#include <QString>

class ContentBlocker;
class DownloadList;
class Passwords;
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
// Makes the profile anew on the same folder, so that the engine forgets
// what it keeps only in memory: certificates let through and HTTP logins.
// Every normal window's page comes back with its history; cookies and
// stored data stay. Waits for running downloads and returns false then:
// the profile is made anew once the last one ended.
bool renewProfile();
// Where the downloads of every page are listed; the program sets it while
// it runs.
void setDownloads(DownloadList* downloads);
QWebEngineProfile* profile();
// The profile of private windows: cookies, cache, logins and permissions in
// memory only. Made for the first private view and gone, with all it kept,
// when the last one and its last running download are.
QWebEngineProfile* acquirePrivateProfile();
void releasePrivateProfile();
bool hasPrivateProfile();
// What keeps ads and trackers away; the program sets it while it runs and
// init() starts it.
void setBlocker(ContentBlocker* blocker);
ContentBlocker* blocker();
// Where the logins of pages' forms are kept; the program sets it while it
// runs. Private windows never use it.
void setPasswords(Passwords* passwords);
Passwords* passwords();
// Spelling checked as one types, in the languages given ("de-DE",
// "en-US"), for every window; kept for a profile that comes later.
void setSpellCheck(bool on, const QStringList& languages);
// Adds a word to the engine's own word list in the profile's folder, which
// the engine reads when it starts.
bool addSpellingWord(const QString& word);
// A word added in this session, which the engine still marks until it
// starts again.
bool isAddedWord(const QString& word);
// Where the engine finds the dictionaries: beside the program, or in the
// installed program's share folder.
QString dictionaryFolder();
// What the user allowed sites in this session; private windows have their
// own, forgotten with their profile.
SiteGrants& grants(bool isPrivate = false);
// Whether the engine looks up the hosts of a page's links ahead, for every
// window; kept for a profile that comes later.
void setPrefetchLinks(bool on);

// The engine's switches with Korvix's process model added: windows of one
// site share one renderer process (sites stay apart), which with many
// windows open halves the time to load them and the memory they take, and
// no zygote without a sandbox, which this engine never forks from. A process
// model the user chose in `flags` is kept as it is.
QByteArray withProcessModel(const QByteArray& flags);

// What pages ask servers for: German first, then English.
inline constexpr char AcceptLanguage[] = "de-DE,de;q=0.9,en;q=0.8";

} // namespace EngineProfile
