// String handles (a process-wide atom table) and data handles.
#include "platform/ddeml/DdeHandles.h"

#include <map>
#include <memory>
#include <string>

namespace {

struct Atom {
    std::string text; // as first registered
    int references = 0;
};

std::map<std::uintptr_t, Atom>& Atoms()
{
    static std::map<std::uintptr_t, Atom> atoms;
    return atoms;
}

std::map<std::string, std::uintptr_t>& AtomsByKey()
{
    static std::map<std::string, std::uintptr_t> byKey;
    return byKey;
}

std::string Key(const char* text)
{
    std::string key(text);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return key;
}

std::uintptr_t nextAtom = 0xC000;

std::map<std::uintptr_t, std::unique_ptr<ddeml::DataObject>>& DataObjects()
{
    static std::map<std::uintptr_t, std::unique_ptr<ddeml::DataObject>> objects;
    return objects;
}

std::uintptr_t nextData = 0x10000;

} // namespace

namespace ddeml {

HSZ AtomAdd(const char* text)
{
    if (!text || !*text)
        return nullptr;
    const std::string key = Key(text);
    auto found = AtomsByKey().find(key);
    if (found != AtomsByKey().end()) {
        ++Atoms()[found->second].references;
        return reinterpret_cast<HSZ>(found->second);
    }
    const std::uintptr_t id = nextAtom++;
    Atoms()[id] = Atom{text, 1};
    AtomsByKey()[key] = id;
    return reinterpret_cast<HSZ>(id);
}

HSZ AtomFind(const char* text)
{
    if (!text || !*text)
        return nullptr;
    auto found = AtomsByKey().find(Key(text));
    return found == AtomsByKey().end() ? nullptr : reinterpret_cast<HSZ>(found->second);
}

bool AtomKeep(HSZ hsz)
{
    auto found = Atoms().find(reinterpret_cast<std::uintptr_t>(hsz));
    if (found == Atoms().end())
        return false;
    ++found->second.references;
    return true;
}

bool AtomRelease(HSZ hsz)
{
    auto found = Atoms().find(reinterpret_cast<std::uintptr_t>(hsz));
    if (found == Atoms().end())
        return false;
    if (--found->second.references <= 0) {
        AtomsByKey().erase(Key(found->second.text.c_str()));
        Atoms().erase(found);
    }
    return true;
}

const std::string* AtomText(HSZ hsz)
{
    auto found = Atoms().find(reinterpret_cast<std::uintptr_t>(hsz));
    return found == Atoms().end() ? nullptr : &found->second.text;
}

HDDEDATA DataCreate(QByteArray bytes, HSZ item, UINT format, bool appOwned)
{
    auto object = std::make_unique<DataObject>();
    object->bytes = std::move(bytes);
    object->item = item;
    object->format = format;
    object->appOwned = appOwned;
    if (item)
        AtomKeep(item);
    const std::uintptr_t id = nextData++;
    DataObjects()[id] = std::move(object);
    return reinterpret_cast<HDDEDATA>(id);
}

DataObject* DataFind(HDDEDATA handle)
{
    auto found = DataObjects().find(reinterpret_cast<std::uintptr_t>(handle));
    return found == DataObjects().end() ? nullptr : found->second.get();
}

bool DataFree(HDDEDATA handle)
{
    auto found = DataObjects().find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == DataObjects().end())
        return false;
    if (found->second->item)
        AtomRelease(found->second->item);
    DataObjects().erase(found);
    return true;
}

} // namespace ddeml
