// SPDX-License-Identifier: GPL-3.0-or-later
#include "paramstore.h"

#include <iterator>

#include <cstring>

ParamStore ParamData;

namespace {

const IntFieldInfo kIntFields[] = {
#define KORVA_FIELD_INFO(name, start) {#name, &ParamStore::name},
    KORVA_INT_FIELDS(KORVA_FIELD_INFO)
#undef KORVA_FIELD_INFO
};

} // namespace

const IntFieldInfo *intFieldsBegin()
{
    return std::begin(kIntFields);
}
const IntFieldInfo *intFieldsEnd()
{
    return std::end(kIntFields);
}
int intFieldCount()
{
    return int(std::size(kIntFields));
}

const IntFieldInfo *findIntField(const char *name)
{
    for (const IntFieldInfo &f : kIntFields) {
        if (std::strcmp(f.name, name) == 0)
            return &f;
    }
    return nullptr;
}

const char *intFieldName(IntField member)
{
    for (const IntFieldInfo &f : kIntFields) {
        if (f.member == member)
            return f.name;
    }
    return "";
}

bool operator==(const ParamStore &a, const ParamStore &b)
{
    for (const IntFieldInfo &f : kIntFields) {
        if (a.*f.member != b.*f.member)
            return false;
    }
    return a.Volt == b.Volt;
}
