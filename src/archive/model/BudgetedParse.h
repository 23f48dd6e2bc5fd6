#pragma once

#include <gumbo.h>

#include <chrono>
#include <cstddef>
#include <memory>

// Parsing a bookmark file with Gumbo within bounds of memory and time.
namespace BookmarkImport::detail {

enum class ParseEnd { Done, OverBudget, ParserFault };

struct ParseBudget;

// One parse. Gumbo cannot stop on its own and frees its tree recursively;
// here every block it allocates is counted, the parse is left once it takes
// more than its share, and the whole tree is freed at once, without
// recursion, when the parse object goes.
class BudgetedParse {
public:
    BudgetedParse(size_t memoryLimit, std::chrono::steady_clock::duration timeLimit);
    ~BudgetedParse();
    BudgetedParse(const BudgetedParse&) = delete;
    BudgetedParse& operator=(const BudgetedParse&) = delete;

    // The document, or nothing when the parse was left early (see end());
    // it lives as long as this object.
    const GumboOutput* run(const char* text, size_t length);
    ParseEnd end() const;

private:
    std::unique_ptr<ParseBudget> m_budget;
};

} // namespace BookmarkImport::detail
