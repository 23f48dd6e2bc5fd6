#pragma once

#include <QString>
#include <optional>

// The tooltip of the lock for an encryption level the web view reports;
// nothing for a level the table does not know.
std::optional<QString> securityLevelText(int level);
