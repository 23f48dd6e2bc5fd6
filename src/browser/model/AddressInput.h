#pragma once

#include <QString>
#include <functional>

// What text typed into an address box opens: the address itself, or a
// search with the preference's search engine.
namespace AddressInput {

// Whether `text` names an address: a scheme ("http:", "file:",
// "about:", ...), localhost or an IP address with an optional port and
// path, a host name with a dot and no blank (optionally with a port and a
// path), or an existing local path (asked of `pathExists`). Anything else
// (blanks inside, one word without a dot, a leading "?") is a search.
bool isAddress(const QString& text, const std::function<bool(const QString&)>& pathExists);

// The address of a search for `query` with the engine of the preference
// `SearchEngine`: "%s" in it stands for the query; the engines German users
// pick are known by their home page; any other gets "?q=" and the query.
QString searchAddress(const QString& engine, const QString& query);

// Where the Search button goes: the engine's home page, without the query
// part when the preference holds "%s".
QString searchHome(const QString& engine);

// What Enter in the address box opens for `typed`: the text exactly as
// typed when it is an address, else the search for it (a leading "?" is
// taken off).
QString resolve(const QString& typed, const QString& engine,
                const std::function<bool(const QString&)>& pathExists);

} // namespace AddressInput
