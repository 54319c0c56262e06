#include "res/StringTable.h"

#include "res/StringTableData.h"

#include <algorithm>
#include <vector>

namespace {

// All parts of the table, merged and sorted once by id.
const std::vector<StringTable::Entry>& Table()
{
    static const std::vector<StringTable::Entry> table = [] {
        std::vector<StringTable::Entry> t;
        for (const auto& part : StringTableParts()) {
            t.insert(t.end(), part.begin(), part.end());
        }
        std::stable_sort(t.begin(), t.end(),
                         [](const auto& a, const auto& b) { return a.id < b.id; });
        return t;
    }();
    return table;
}

const StringTable::Entry* Find(unsigned id)
{
    const auto& t = Table();
    auto it = std::lower_bound(t.begin(), t.end(), id,
                               [](const StringTable::Entry& e, unsigned v) { return e.id < v; });
    return (it != t.end() && it->id == id) ? &*it : nullptr;
}

} // namespace

namespace StringTable {

bool LoadString(unsigned id, QString& out)
{
    const Entry* e = Find(id);
    if (!e)
        return false;
    out = QString::fromUtf8(e->text);
    return true;
}

QString GetString(unsigned id)
{
    QString s;
    LoadString(id, s);
    return s;
}

bool HasString(unsigned id)
{
    return Find(id) != nullptr;
}

} // namespace StringTable
