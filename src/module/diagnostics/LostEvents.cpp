#include "LostEvents.h"

#include <algorithm>
#include <mutex>

namespace Quorlin::LostEvents {
namespace {

struct Ledger {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::uint64_t>> totals;
};

Ledger& TheLedger()
{
    static Ledger* ledger = new Ledger;  // never destroyed: appenders left open may still count at exit
    return *ledger;
}

}  // namespace

void Add(const ORBEK::Utility::DString& name, std::uint64_t count)
{
    if (count == 0)
        return;
    Ledger& ledger = TheLedger();
    const std::string key(name.StdView());
    std::lock_guard<std::mutex> lock(ledger.mutex);
    const auto it = std::find_if(ledger.totals.begin(), ledger.totals.end(), [&](const auto& t) { return t.first == key; });
    if (it != ledger.totals.end())
        it->second += count;
    else
        ledger.totals.emplace_back(key, count);
}

std::uint64_t Of(const std::string& name)
{
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    const auto it = std::find_if(ledger.totals.begin(), ledger.totals.end(), [&](const auto& t) { return t.first == name; });
    return it != ledger.totals.end() ? it->second : 0;
}

std::vector<std::pair<std::string, std::uint64_t>> All()
{
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    return ledger.totals;
}

void Clear()
{
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    ledger.totals.clear();
}

}  // namespace Quorlin::LostEvents
