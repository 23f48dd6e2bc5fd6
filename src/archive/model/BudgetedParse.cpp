#include "archive/model/BudgetedParse.h"

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <mutex>

namespace BookmarkImport::detail {

// Gumbo frees its tree recursively and cannot stop on its own; every block it
// allocates goes through here instead, so the tree is freed without
// recursion, and memory and time are capped by leaving the parse early.
struct alignas(std::max_align_t) Block {
    Block* prev;
    Block* next;
    size_t size;
};

constexpr size_t MallocOverhead = 16;

struct ParseBudget {
    Block ring{&ring, &ring, 0};
    size_t bytes = 0;
    size_t limit = 0;
    std::chrono::steady_clock::time_point deadline;
    unsigned calls = 0;
    ParseEnd end = ParseEnd::Done;
    sigjmp_buf exit;

    ParseBudget() = default;
    ParseBudget(const ParseBudget&) = delete;
    ParseBudget& operator=(const ParseBudget&) = delete;
    ~ParseBudget() {
        Block* b = ring.next;
        while (b != &ring) {
            Block* next = b->next;
            std::free(b);
            b = next;
        }
    }
};

namespace {

[[noreturn]] void leaveParse(ParseBudget* budget, ParseEnd why) {
    budget->end = why;
    siglongjmp(budget->exit, 1);
}

void* budgetAllocate(void* userdata, size_t size) {
    auto* budget = static_cast<ParseBudget*>(userdata);
    const bool late =
        (++budget->calls & 1023) == 0 && std::chrono::steady_clock::now() > budget->deadline;
    // What the block really takes: Gumbo makes many small ones.
    const size_t taken = size + sizeof(Block) + MallocOverhead;
    if (late || taken > budget->limit - std::min(budget->limit, budget->bytes))
        leaveParse(budget, ParseEnd::OverBudget);
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (!block)
        leaveParse(budget, ParseEnd::OverBudget);
    block->size = taken;
    block->prev = &budget->ring;
    block->next = budget->ring.next;
    budget->ring.next->prev = block;
    budget->ring.next = block;
    budget->bytes += taken;
    return block + 1;
}

void budgetFree(void* userdata, void* ptr) {
    if (!ptr)
        return;
    auto* budget = static_cast<ParseBudget*>(userdata);
    Block* block = static_cast<Block*>(ptr) - 1;
    block->prev->next = block->next;
    block->next->prev = block->prev;
    budget->bytes -= block->size;
    std::free(block);
}

// The installed Gumbo checks its own state with assert(), and some malformed
// markup trips one of them, which would end the whole program. While a file
// is parsed, such an abort on the parsing thread leaves the parse instead;
// everything Gumbo allocated is freed by the budget. One parse at a time, as
// the handler is the process's.
std::mutex abortGuardLock;
struct sigaction abortBefore;
thread_local ParseBudget* abortingParse = nullptr;

extern "C" void onAbortWhileParsing(int signal) {
    if (abortingParse)
        leaveParse(abortingParse, ParseEnd::ParserFault);
    // Another thread aborts: as it would have without us.
    sigaction(SIGABRT, &abortBefore, nullptr);
    raise(signal);
}

class AbortGuard {
public:
    explicit AbortGuard(ParseBudget* budget) : m_lock(abortGuardLock) {
        struct sigaction handler = {};
        handler.sa_handler = onAbortWhileParsing;
        sigemptyset(&handler.sa_mask);
        sigaction(SIGABRT, &handler, &abortBefore);
        abortingParse = budget;
    }
    ~AbortGuard() {
        abortingParse = nullptr;
        sigaction(SIGABRT, &abortBefore, nullptr);
    }
    AbortGuard(const AbortGuard&) = delete;
    AbortGuard& operator=(const AbortGuard&) = delete;

private:
    std::lock_guard<std::mutex> m_lock;
};

// Null when the parse was left early (see budget.end). Nothing here may need
// a destructor: the parse is left by siglongjmp.
GumboOutput* parseWithin(ParseBudget* budget, const GumboOptions* options, const char* text,
                         size_t length) {
    if (sigsetjmp(budget->exit, 1) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, text, length);
}

} // namespace

BudgetedParse::BudgetedParse(size_t memoryLimit, std::chrono::steady_clock::duration timeLimit)
    : m_budget(std::make_unique<ParseBudget>()) {
    m_budget->limit = memoryLimit;
    m_budget->deadline = std::chrono::steady_clock::now() + timeLimit;
}

BudgetedParse::~BudgetedParse() = default;

const GumboOutput* BudgetedParse::run(const char* text, size_t length) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = budgetAllocate;
    options.deallocator = budgetFree;
    options.userdata = m_budget.get();
    options.max_errors = 0;
    const AbortGuard guard(m_budget.get());
    return parseWithin(m_budget.get(), &options, text, length);
}

ParseEnd BudgetedParse::end() const {
    return m_budget->end;
}

} // namespace BookmarkImport::detail
