#pragma once

#include "browser/model/Suggestions.h"

// What the address box asks while the user types: the frame answers from
// the archive, the history and the open windows.
class AddressSuggestions {
public:
    virtual ~AddressSuggestions() = default;

    // The user is about to type: what takes long (the archive's files) is
    // read now, away from the keys.
    virtual void prepare() = 0;
    virtual QList<Suggestions::Row> suggest(const QString& typed) = 0;
};
