// The DDE conversation layer: the process's one client instance with its
// callback routing (TKQDdeMgr) and client conversations (TKQDdeClientConv).
#pragma once

#include "datalink/KContainer.h"
#include "platform/Exception.h"
#include "platform/ddeml/ddeml.h"

#include <QByteArray>
#include <QString>

#include <cstring>
#include <functional>
#include <vector>

class EDdeError : public Exception {
public:
    using Exception::Exception;
};

// Text of a DDE error code, as shown to the operator.
QString DdeErrorText(UINT code);

// A notify method: code and object. Two are equal when both are equal, so that
// sets can hold a method at most once and remove it again.
class TNotifyEvent {
public:
    TNotifyEvent() = default;
    template <class T>
    TNotifyEvent(T* object, void (T::*method)(TObject* sender))
        : object(object), call([object, method](TObject* sender) { (object->*method)(sender); })
    {
        static_assert(sizeof method <= sizeof code);
        std::memcpy(code, &method, sizeof method);
    }

    explicit operator bool() const { return bool(call); }
    void operator()(TObject* sender) const { call(sender); }
    bool operator==(const TNotifyEvent& other) const
    {
        return object == other.object && std::memcmp(code, other.code, sizeof code) == 0;
    }

private:
    const void* object = nullptr;
    unsigned char code[2 * sizeof(void*)] = {};
    std::function<void(TObject*)> call;
};

// Call-back of an asynchronous transaction: exactly one of data and error is set.
// The data are the received bytes (text values without their terminating zero)
// and live only for the duration of the call.
using TDdeCallBack = std::function<void(const QByteArray* data, const EDdeError* error)>;

using TDdeErrorEvent = std::function<void(const QString& transaction, const QString& topic, const QString& item)>;

class TKQDdeClientConv;

class TKQDdeMgr {
public:
    TKQDdeMgr();
    ~TKQDdeMgr();
    TKQDdeMgr(const TKQDdeMgr&) = delete;
    TKQDdeMgr& operator=(const TKQDdeMgr&) = delete;

    // The manager that callbacks are routed to, and whether one is alive.
    static TKQDdeMgr* Current();
    static void SetCurrent(TKQDdeMgr* manager);
    static bool Alive();

    DWORD Instance() const { return instance; }

    void Register(HCONV conversation, TKQDdeClientConv* owner);
    void Unregister(HCONV conversation);
    TKQDdeClientConv* Lookup(HCONV conversation) const;
    // A conversation being freed is no longer in any call-back.
    void Forget(TKQDdeClientConv* owner);

    std::function<void(TObject* sender)> OnDisconnect;
    // When set, replaces the error dialog for failed asynchronous transactions.
    TDdeErrorEvent OnDdeError;

private:
    class TCallbackMark;
    static HDDEDATA Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                             ULONG_PTR data1, ULONG_PTR data2);
    void Dispatch(TKQDdeClientConv* owner, UINT type, UINT format, HSZ item, HDDEDATA data, ULONG_PTR data1);
    void TransactionComplete(TKQDdeClientConv* conv, UINT format, HDDEDATA data, DWORD id);

    DWORD instance = 0;
    std::unique_ptr<TKMapLongIntKey> conversations;
    // The conversations whose call-backs run, innermost last; null once freed.
    std::vector<TKQDdeClientConv*> callbackOwners;
};

// While it lives, failed transactions show no error dialog: for a control
// that is not expected to answer yet. Their callers still see the failure.
class TQuietDdeErrors {
public:
    TQuietDdeErrors();
    ~TQuietDdeErrors();
    TQuietDdeErrors(const TQuietDdeErrors&) = delete;
    TQuietDdeErrors& operator=(const TQuietDdeErrors&) = delete;

private:
    TKQDdeMgr* manager;
    TDdeErrorEvent saved;
};

class TKQDdeClientConv : public TObject {
public:
    TKQDdeClientConv() = default;
    ~TKQDdeClientConv() override;
    TKQDdeClientConv(const TKQDdeClientConv&) = delete;
    TKQDdeClientConv& operator=(const TKQDdeClientConv&) = delete;

    bool SetLink(const QString& service, const QString& topic);
    bool OpenLink();
    void CloseLink();

    HSZ StartAdvise(const QString& item, TDdeCallBack callBack);
    void StopAdvise(HSZ handle);
    void Request(const QString& item, TDdeCallBack callBack);
    void RequestBinary(const QString& item, TDdeCallBack callBack);
    void Poke(const QString& item, const QString& text, TDdeCallBack callBack = {});
    void PokeSync(const QString& item, const QString& text);
    void Execute(const QString& command, TDdeCallBack callBack = {});

    bool InCallback() const { return inCallback; }
    bool Connected() const { return conversation != nullptr; }
    HCONV Handle() const { return conversation; }
    const QString& Service() const { return service; }
    const QString& Topic() const { return topic; }

    std::function<void(TObject* sender)> OnClose;
    std::function<void(TObject* sender)> OnOpen;
    bool Acknowledge = true;

private:
    friend class TKQDdeMgr;
    struct TNotifyObj;
    struct TAdviseObj;

    DWORD Instance() const;
    HSZ ItemHandle(const QString& item) const;
    DWORD Send(HSZ item, const QByteArray* text, UINT format, UINT type, DWORD timeout);
    void AddPending(TDdeCallBack callBack, DWORD id);
    void Deliver(DWORD id, const QByteArray* data, const EDdeError* error);
    void DeliverAdvise(HSZ item, const QByteArray* data, const EDdeError* error);
    void Disconnected();

    QString service;
    QString topic;
    HCONV conversation = nullptr;
    HSZ serviceHandle = nullptr;
    HSZ topicHandle = nullptr;
    TKListOfObject pending;
    TKMapLongIntKey advises;
    bool inCallback = false;
};
