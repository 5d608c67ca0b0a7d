#include "infra/utils/sdk_mem.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace tessera {
namespace {

struct ModuleAccount {
    size_t in_use = 0;
    size_t budget = 0;  // 0: no cap
};

// Precedes every block; the alignment keeps the caller's part aligned like malloc's.
struct alignas(std::max_align_t) BlockHeader {
    size_t size;
    ModuleAccount* account;
};

struct Accounts {
    std::mutex mutex;
    std::map<std::string, ModuleAccount> by_module;  // nodes are stable: headers point into them
};

Accounts& GetAccounts() {
    static Accounts accounts;
    return accounts;
}

ModuleAccount* Reserve(const char* module, size_t size) {
    Accounts& accounts = GetAccounts();
    std::lock_guard<std::mutex> lock(accounts.mutex);
    ModuleAccount& account = accounts.by_module[module];
    if (account.budget != 0 && account.in_use + size > account.budget) return nullptr;
    account.in_use += size;
    return &account;
}

void Release(ModuleAccount* account, size_t size) {
    std::lock_guard<std::mutex> lock(GetAccounts().mutex);
    account->in_use -= size;
}

}  // namespace

void* SdkMalloc(size_t size, const char* module) {
    ModuleAccount* account = Reserve(module, size);
    if (account == nullptr) return nullptr;
    auto* header = static_cast<BlockHeader*>(malloc(sizeof(BlockHeader) + size));
    if (header == nullptr) {
        Release(account, size);
        return nullptr;
    }
    header->size = size;
    header->account = account;
    return header + 1;
}

void SdkFree(void* block) {
    if (block == nullptr) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    Release(header->account, header->size);
    free(header);
}

size_t SdkMemInUse(const char* module) {
    Accounts& accounts = GetAccounts();
    std::lock_guard<std::mutex> lock(accounts.mutex);
    auto found = accounts.by_module.find(module);
    return found == accounts.by_module.end() ? 0 : found->second.in_use;
}

void SdkMemSetBudget(const char* module, size_t bytes) {
    Accounts& accounts = GetAccounts();
    std::lock_guard<std::mutex> lock(accounts.mutex);
    accounts.by_module[module].budget = bytes;
}

}  // namespace tessera
