#include "datalink/KContainer.h"

#include "platform/Assert.h"

struct TKListNode {
    TObject* object;
    TKListNode* next;
    TKListNode* previous;
};

// ---------------------------------------------------------------------------
// TKListIteratorObj

TKListIteratorObj::TKListIteratorObj(const TKListOfObject* list, TKListNode* node)
    : m_list(node ? list : nullptr)
    , m_node(node)
{
}

TObject* TKListIteratorObj::GetObject() const
{
    Assert(m_node != nullptr, "TKListIteratorObj.GetObject");
    return m_node->object;
}

bool TKListIteratorObj::IsValid() const
{
    return m_node != nullptr;
}

void TKListIteratorObj::Invalidate()
{
    m_list = nullptr;
    m_node = nullptr;
}

void TKListIteratorObj::Assign(const TKListIteratorObj& source)
{
    if (source.IsValid()) {
        m_list = source.m_list;
        m_node = source.m_node;
    } else {
        Invalidate();
    }
}

std::unique_ptr<TKListIteratorObj> TKListIteratorObj::Clone() const
{
    return std::unique_ptr<TKListIteratorObj>(new TKListIteratorObj(*this));
}

bool TKListIteratorObj::Equals(const TKListIteratorObj& other) const
{
    return m_node == other.m_node;
}

void TKListIteratorObj::Next()
{
    if (m_node)
        m_node = m_node->next;
    if (!m_node)
        m_list = nullptr;
}

void TKListIteratorObj::Previous()
{
    if (m_node)
        m_node = m_node->previous;
    if (!m_node)
        m_list = nullptr;
}

// ---------------------------------------------------------------------------
// TKListOfObject

TKListOfObject::~TKListOfObject()
{
    Clear();
}

void TKListOfObject::Add(TObject* object)
{
    auto* node = new TKListNode{object, nullptr, m_last};
    if (m_last)
        m_last->next = node;
    else
        m_first = node;
    m_last = node;
    ++m_count;
}

void TKListOfObject::Remove(TKListIteratorObj& position)
{
    // An empty list is reported as such even when the iterator is also unusable.
    Assert(m_count > 0, "TKListOfObject.Remove: List is empty");
    Assert(position.IsValid() && position.m_list == this, "TKListOfObject.Remove: invalid argument");

    TKListNode* node = position.m_node;
    position.Next();

    if (node->previous)
        node->previous->next = node->next;
    else
        m_first = node->next;
    if (node->next)
        node->next->previous = node->previous;
    else
        m_last = node->previous;
    delete node;
    --m_count;
}

void TKListOfObject::Clear()
{
    for (auto it = First(); it.IsValid();)
        Remove(it);
    Assert(m_count == 0, "TKListOfObject.Empty");
}

TKListIteratorObj TKListOfObject::First() const
{
    return TKListIteratorObj(this, m_first);
}

TKListIteratorObj TKListOfObject::Last() const
{
    return TKListIteratorObj(this, m_last);
}

// ---------------------------------------------------------------------------
// TKVectorOfObject

TObject* TKVectorOfObject::Get(qint32 index) const
{
    Assert(index >= 0 && index < Count(), "TKVectorOfObject.Get: index out of range");
    return m_objects[static_cast<size_t>(index)];
}

void TKVectorOfObject::Insert(qint32 index, TObject* object)
{
    Assert(index >= 0 && index <= Count(), "TKVectorOfObject.Insert: index out of range");
    m_objects.insert(m_objects.begin() + index, object);
}

// ---------------------------------------------------------------------------
// Keys

int TKLongIntKey::Hash() const
{
    // Negative keys are folded into 0..96 as well (-1 lands in 96), so that
    // every key has a bucket.
    const int remainder = m_value % TKMapToObject::BucketCount;
    return remainder < 0 ? remainder + TKMapToObject::BucketCount : remainder;
}

bool TKLongIntKey::Equals(const TKMapKey& other) const
{
    const auto* key = dynamic_cast<const TKLongIntKey*>(&other);
    return key && key->m_value == m_value;
}

quint16 TKStringKey::HashText(const QString& text)
{
    quint16 h = 0;
    const QByteArray bytes = text.toLatin1();
    for (const char c : bytes)
        h = static_cast<quint16>(h * 33u + static_cast<unsigned char>(c));
    return h;
}

int TKStringKey::Hash() const
{
    return HashText(m_value) % TKMapToObject::BucketCount;
}

bool TKStringKey::Equals(const TKMapKey& other) const
{
    const auto* key = dynamic_cast<const TKStringKey*>(&other);
    return key && key->m_value == m_value;
}

// ---------------------------------------------------------------------------
// TKMapToObject

namespace {

class TKMapEntry final : public TObject {
public:
    TKMapEntry(std::unique_ptr<TKMapKey> key, TObject* value)
        : key(std::move(key))
        , value(value)
    {
    }

    std::unique_ptr<TKMapKey> key;
    TObject* value;
};

TKMapEntry* EntryAt(const TKListIteratorObj& position)
{
    return static_cast<TKMapEntry*>(position.GetObject());
}

} // namespace

TKMapToObject::~TKMapToObject()
{
    Clear();
}

void TKMapToObject::Clear()
{
    for (auto& bucket : m_buckets) {
        for (auto it = bucket.First(); it.IsValid();) {
            delete EntryAt(it);
            bucket.Remove(it);
        }
    }
}

bool TKMapToObject::IsEmpty() const
{
    for (const auto& bucket : m_buckets) {
        if (!bucket.IsEmpty())
            return false;
    }
    return true;
}

TKMapIteratorObj TKMapToObject::First() const
{
    return TKMapIteratorObj(this);
}

void TKMapToObject::InsertKey(std::unique_ptr<TKMapKey> key, TObject* value)
{
    const int bucket = key->Hash();
    m_buckets[bucket].Add(new TKMapEntry(std::move(key), value));
}

TKListIteratorObj TKMapToObject::Locate(const TKMapKey& key) const
{
    auto it = m_buckets[key.Hash()].First();
    while (it.IsValid() && !EntryAt(it)->key->Equals(key))
        it.Next();
    return it;
}

TObject* TKMapToObject::FindKey(const TKMapKey& key) const
{
    const auto it = Locate(key);
    return it.IsValid() ? EntryAt(it)->value : nullptr;
}

TObject* TKMapToObject::RemoveKey(const TKMapKey& key)
{
    auto it = Locate(key);
    if (!it.IsValid())
        return nullptr;
    TKMapEntry* entry = EntryAt(it);
    TObject* value = entry->value;
    m_buckets[key.Hash()].Remove(it);
    delete entry;
    return value;
}

// ---------------------------------------------------------------------------
// TKMapIteratorObj

TKMapIteratorObj::TKMapIteratorObj(const TKMapToObject* map)
    : m_map(map)
    , m_bucket(0)
    , m_position(map->m_buckets[0].First())
{
    SkipEmptyBuckets();
}

void TKMapIteratorObj::SkipEmptyBuckets()
{
    while (!m_position.IsValid() && m_bucket + 1 < TKMapToObject::BucketCount) {
        ++m_bucket;
        m_position = m_map->m_buckets[m_bucket].First();
    }
}

TObject* TKMapIteratorObj::GetObject() const
{
    Assert(IsValid(), "TKMapIteratorObj.GetObject");
    return EntryAt(m_position)->value;
}

const TKMapKey& TKMapIteratorObj::GetKey() const
{
    Assert(IsValid(), "TKMapIteratorObj.GetKey");
    return *EntryAt(m_position)->key;
}

void TKMapIteratorObj::Next()
{
    if (!IsValid())
        return;
    m_position.Next();
    SkipEmptyBuckets();
}

// ---------------------------------------------------------------------------
// Typed maps

void TKMapLongIntKey::Insert(qint32 key, TObject* value)
{
    InsertKey(std::make_unique<TKLongIntKey>(key), value);
}

TObject* TKMapLongIntKey::Find(qint32 key) const
{
    return FindKey(TKLongIntKey(key));
}

TObject* TKMapLongIntKey::Remove(qint32 key)
{
    return RemoveKey(TKLongIntKey(key));
}

void TKMapStringKey::Insert(const QString& key, TObject* value)
{
    InsertKey(std::make_unique<TKStringKey>(key), value);
}

TObject* TKMapStringKey::Find(const QString& key) const
{
    return FindKey(TKStringKey(key));
}

TObject* TKMapStringKey::Remove(const QString& key)
{
    return RemoveKey(TKStringKey(key));
}
