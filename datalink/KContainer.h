// Small containers of object references used throughout the data link: a
// doubly linked list with iterators, a vector, and hash maps keyed by a 32-bit
// integer or by a string.
//
// The containers store TObject pointers and never own them: whoever removes an
// entry frees its object. Iteration order is fixed (lists in order of addition,
// maps bucket by bucket from 0 to 96) because callers rely on it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// Common base of everything stored in the containers.
class TObject {
public:
    virtual ~TObject() = default;
};

// ---------------------------------------------------------------------------
// Doubly linked list

class TKListOfObject;
struct TKListNode;

// Refers to one node of a list, or to none (past the end). Copying is cheap.
// An iterator on a node stays valid while other nodes are removed; removing
// its own node through another iterator leaves it dangling.
class TKListIteratorObj {
public:
    TKListIteratorObj() = default;
    TKListIteratorObj(const TKListIteratorObj&) = default;
    TKListIteratorObj& operator=(const TKListIteratorObj&) = default;
    virtual ~TKListIteratorObj() = default;

    // The object of the current node; asserts that there is one.
    virtual TObject* GetObject() const;
    virtual bool IsValid() const;
    virtual void Invalidate();
    // Takes over the position of source; an invalid source invalidates.
    virtual void Assign(const TKListIteratorObj& source);
    virtual std::unique_ptr<TKListIteratorObj> Clone() const;
    // True when both refer to the same node (or both to none).
    virtual bool Equals(const TKListIteratorObj& other) const;
    // Move one node on or back; past either end the iterator becomes invalid,
    // and an invalid iterator stays invalid.
    virtual void Next();
    virtual void Previous();

private:
    friend class TKListOfObject;
    TKListIteratorObj(const TKListOfObject* list, TKListNode* node);

    const TKListOfObject* m_list = nullptr;
    TKListNode* m_node = nullptr;
};

class TKListOfObject {
public:
    TKListOfObject() = default;
    TKListOfObject(const TKListOfObject&) = delete;
    TKListOfObject& operator=(const TKListOfObject&) = delete;
    virtual ~TKListOfObject();

    // Appends object at the end.
    void Add(TObject* object);
    // Unlinks the node at position (not its object) and moves position on to
    // the following node, so that a loop can remove as it goes.
    void Remove(TKListIteratorObj& position);
    // Removes every node, from the front.
    void Clear();

    TKListIteratorObj First() const;
    TKListIteratorObj Last() const;
    bool IsEmpty() const { return m_count == 0; }
    qint32 Count() const { return m_count; }

private:
    TKListNode* m_first = nullptr;
    TKListNode* m_last = nullptr;
    qint32 m_count = 0;
};

// ---------------------------------------------------------------------------
// Vector

class TKVectorOfObject {
public:
    TKVectorOfObject() = default;
    TKVectorOfObject(const TKVectorOfObject&) = delete;
    TKVectorOfObject& operator=(const TKVectorOfObject&) = delete;
    virtual ~TKVectorOfObject() = default;

    qint32 Count() const { return static_cast<qint32>(m_objects.size()); }
    // index in 0..Count()-1
    TObject* Get(qint32 index) const;
    // index in 0..Count(); the entries from index on move up by one.
    void Insert(qint32 index, TObject* object);
    void Add(TObject* object) { Insert(Count(), object); }
    void Clear() { m_objects.clear(); }

private:
    std::vector<TObject*> m_objects;
};

// ---------------------------------------------------------------------------
// Hash maps

// Key of a map entry.
class TKMapKey : public TObject {
public:
    // Bucket number, 0 .. TKMapToObject::BucketCount - 1.
    virtual int Hash() const = 0;
    virtual bool Equals(const TKMapKey& other) const = 0;
};

class TKLongIntKey final : public TKMapKey {
public:
    explicit TKLongIntKey(qint32 value) : m_value(value) { }
    qint32 Value() const { return m_value; }
    int Hash() const override;
    bool Equals(const TKMapKey& other) const override;

private:
    qint32 m_value;
};

// Case-sensitive string key.
class TKStringKey final : public TKMapKey {
public:
    explicit TKStringKey(const QString& value) : m_value(value) { }
    const QString& Value() const { return m_value; }
    int Hash() const override;
    bool Equals(const TKMapKey& other) const override;

    // The hash before it is reduced to a bucket: h = h * 33 + c over the
    // Latin-1 bytes of text, kept to 16 bits at every step.
    static quint16 HashText(const QString& text);

private:
    QString m_value;
};

class TKMapToObject;

// Walks all entries of a map: buckets 0 to 96, each bucket from first to
// last. Removing other entries leaves the iterator valid, so a loop may step
// on first and then remove the entry it left.
class TKMapIteratorObj {
public:
    TKMapIteratorObj() = default;

    bool IsValid() const { return m_position.IsValid(); }
    // Value and key of the current entry; both assert that there is one.
    TObject* GetObject() const;
    const TKMapKey& GetKey() const;
    void Next();

private:
    friend class TKMapToObject;
    explicit TKMapIteratorObj(const TKMapToObject* map);
    void SkipEmptyBuckets();

    const TKMapToObject* m_map = nullptr;
    int m_bucket = 0;
    TKListIteratorObj m_position;
};

// Base of the keyed maps: 97 buckets of entries {value, key}. The map owns
// its entries and keys, not the values.
class TKMapToObject {
public:
    static constexpr int BucketCount = 97;

    TKMapToObject() = default;
    TKMapToObject(const TKMapToObject&) = delete;
    TKMapToObject& operator=(const TKMapToObject&) = delete;
    virtual ~TKMapToObject();

    void Clear();
    bool IsEmpty() const;
    TKMapIteratorObj First() const;

protected:
    // Insert does not look for an equal key already present.
    void InsertKey(std::unique_ptr<TKMapKey> key, TObject* value);
    TObject* FindKey(const TKMapKey& key) const;
    TObject* RemoveKey(const TKMapKey& key);

private:
    friend class TKMapIteratorObj;
    TKListIteratorObj Locate(const TKMapKey& key) const;

    TKListOfObject m_buckets[BucketCount];
};

class TKMapLongIntKey : public TKMapToObject {
public:
    void Insert(qint32 key, TObject* value);
    // The value of the first entry with this key, or nullptr.
    TObject* Find(qint32 key) const;
    // Removes the first entry with this key and returns its value, or nullptr.
    TObject* Remove(qint32 key);
};

class TKMapStringKey : public TKMapToObject {
public:
    void Insert(const QString& key, TObject* value);
    TObject* Find(const QString& key) const;
    TObject* Remove(const QString& key);
};
