#include "search/searchparameters.h"

namespace {

// Every field in the table exactly once, every default inside its range: a
// field left out would keep an indeterminate value.
constexpr bool TableIsComplete() {
    if (kSearchParameterCount * sizeof(int32_t) != sizeof(SearchParameters)) return false;
    for (size_t i = 0; i < kSearchParameterCount; ++i) {
        const SearchParameterSpec& p = kSearchParameterTable[i];
        if (p.min > p.defaultValue || p.defaultValue > p.max) return false;
        for (size_t j = 0; j < i; ++j) {
            if (kSearchParameterTable[j].field == p.field) return false;
            if (std::string_view(kSearchParameterTable[j].name) == p.name) return false;
        }
    }
    return true;
}
static_assert(TableIsComplete());

}  // namespace

SearchParameters::SearchParameters() {
    for (const SearchParameterSpec& p : kSearchParameterTable) this->*p.field = p.defaultValue;
}

const SearchParameterSpec* FindSearchParameter(std::string_view name) {
    for (const SearchParameterSpec& p : kSearchParameterTable)
        if (name == p.name) return &p;
    return nullptr;
}

SearchParameters::SetResult SearchParameters::Set(std::string_view name, int64_t value) {
    const SearchParameterSpec* p = FindSearchParameter(name);
    if (!p) return SetResult::kUnknown;
    if (value < p->min || value > p->max) return SetResult::kOutOfRange;
    this->*p->field = static_cast<int32_t>(value);
    return SetResult::kSet;
}
