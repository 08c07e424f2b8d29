// DDE Management Library work-alike for Linux.
//
// The calls, types and constants keep their Windows names and meanings so that
// code written against the DDE Management Library reads and behaves the same.
// Conversations run over Unix-domain stream sockets in a per-user folder (see
// docs/dde-wire-protocol.md). Everything happens on the thread that runs the Qt
// event loop: callbacks are delivered from that loop, including the nested loop
// of a synchronous transaction.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

struct HCONV__;
struct HSZ__;
struct HDDEDATA__;
using HCONV = HCONV__*;
using HSZ = HSZ__*;
using HDDEDATA = HDDEDATA__*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Code pages and clipboard formats.
constexpr int CP_WINANSI = 1004;
constexpr UINT CF_TEXT = 1;
constexpr UINT CF_PRIVATEFIRST = 0x0200;

// Transaction classes and flags.
constexpr UINT XCLASS_BOOL = 0x1000;
constexpr UINT XCLASS_DATA = 0x2000;
constexpr UINT XCLASS_FLAGS = 0x4000;
constexpr UINT XCLASS_NOTIFICATION = 0x8000;
constexpr UINT XTYPF_NOBLOCK = 0x0002;
constexpr UINT XTYPF_NODATA = 0x0004;
constexpr UINT XTYPF_ACKREQ = 0x0008;

// Transaction types.
constexpr UINT XTYP_ERROR = 0x0000 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
constexpr UINT XTYP_ADVDATA = 0x0010 | XCLASS_FLAGS;
constexpr UINT XTYP_ADVREQ = 0x0020 | XCLASS_DATA | XTYPF_NOBLOCK;
constexpr UINT XTYP_ADVSTART = 0x0030 | XCLASS_BOOL;
constexpr UINT XTYP_ADVSTOP = 0x0040 | XCLASS_NOTIFICATION;
constexpr UINT XTYP_EXECUTE = 0x0050 | XCLASS_FLAGS;
constexpr UINT XTYP_CONNECT = 0x0060 | XCLASS_BOOL | XTYPF_NOBLOCK;
constexpr UINT XTYP_CONNECT_CONFIRM = 0x0070 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
constexpr UINT XTYP_XACT_COMPLETE = 0x0080 | XCLASS_NOTIFICATION;
constexpr UINT XTYP_POKE = 0x0090 | XCLASS_FLAGS;
constexpr UINT XTYP_REGISTER = 0x00A0 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
constexpr UINT XTYP_REQUEST = 0x00B0 | XCLASS_DATA;
constexpr UINT XTYP_DISCONNECT = 0x00C0 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
constexpr UINT XTYP_UNREGISTER = 0x00D0 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
constexpr UINT XTYP_MASK = 0x00F0;

// Acknowledgement flags returned by callbacks.
constexpr ULONG_PTR DDE_FACK = 0x8000;
constexpr ULONG_PTR DDE_FBUSY = 0x4000;
constexpr ULONG_PTR DDE_FNOTPROCESSED = 0x0000;

// A server callback that returns CBR_BLOCK leaves the transaction unanswered.
#define CBR_BLOCK (reinterpret_cast<HDDEDATA>(~std::uintptr_t(0)))

// Time-out of an asynchronous client transaction, and the "no transaction" id.
constexpr DWORD TIMEOUT_ASYNC = 0xFFFFFFFF;
constexpr DWORD QID_SYNC = 0xFFFFFFFF;

// DdeInitialize command flags.
constexpr DWORD APPCLASS_STANDARD = 0x00000000;
constexpr DWORD APPCMD_CLIENTONLY = 0x00000010;
constexpr DWORD APPCMD_FILTERINITS = 0x00000020;
constexpr DWORD CBF_SKIP_ALLNOTIFICATIONS = 0x003C0000;

// DdeNameService commands.
constexpr UINT DNS_REGISTER = 0x0001;
constexpr UINT DNS_UNREGISTER = 0x0002;
constexpr UINT DNS_FILTERON = 0x0004;
constexpr UINT DNS_FILTEROFF = 0x0008;

// DdeCreateDataHandle flags.
constexpr UINT HDATA_APPOWNED = 0x0001;

// Error codes.
constexpr UINT DMLERR_NO_ERROR = 0;
constexpr UINT DMLERR_FIRST = 0x4000;
constexpr UINT DMLERR_ADVACKTIMEOUT = 0x4000;
constexpr UINT DMLERR_BUSY = 0x4001;
constexpr UINT DMLERR_DATAACKTIMEOUT = 0x4002;
constexpr UINT DMLERR_DLL_NOT_INITIALIZED = 0x4003;
constexpr UINT DMLERR_DLL_USAGE = 0x4004;
constexpr UINT DMLERR_EXECACKTIMEOUT = 0x4005;
constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;
constexpr UINT DMLERR_LOW_MEMORY = 0x4007;
constexpr UINT DMLERR_MEMORY_ERROR = 0x4008;
constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
constexpr UINT DMLERR_POKEACKTIMEOUT = 0x400B;
constexpr UINT DMLERR_POSTMSG_FAILED = 0x400C;
constexpr UINT DMLERR_REENTRANCY = 0x400D;
constexpr UINT DMLERR_SERVER_DIED = 0x400E;
constexpr UINT DMLERR_SYS_ERROR = 0x400F;
constexpr UINT DMLERR_UNADVACKTIMEOUT = 0x4010;
constexpr UINT DMLERR_UNFOUND_QUEUE_ID = 0x4011;
constexpr UINT DMLERR_LAST = 0x4011;

// Conversation status bits (CONVINFO::wStatus).
constexpr UINT ST_CONNECTED = 0x0001;
constexpr UINT ST_ADVISE = 0x0002;
constexpr UINT ST_ISLOCAL = 0x0004;
constexpr UINT ST_CLIENT = 0x0010;
constexpr UINT ST_TERMINATED = 0x0020;

// Conversation states (CONVINFO::wConvst).
constexpr UINT XST_NULL = 0;
constexpr UINT XST_INCOMPLETE = 1;
constexpr UINT XST_CONNECTED = 2;

struct SECURITY_QUALITY_OF_SERVICE {
    DWORD Length;
    int ImpersonationLevel;
    BYTE ContextTrackingMode;
    BYTE EffectiveOnly;
};

struct CONVCONTEXT {
    UINT cb;
    UINT wFlags;
    UINT wCountryID;
    int iCodePage;
    DWORD dwLangID;
    DWORD dwSecurity;
    SECURITY_QUALITY_OF_SERVICE qos;
};
using PCONVCONTEXT = CONVCONTEXT*;

struct CONVINFO {
    DWORD cb;
    ULONG_PTR hUser;
    HCONV hConvPartner;
    HSZ hszSvcPartner;
    HSZ hszServiceReq;
    HSZ hszTopic;
    HSZ hszItem;
    UINT wFmt;
    UINT wType;
    UINT wStatus;
    UINT wConvst;
    UINT wLastError;
    void* hConvList;
    CONVCONTEXT ConvCtxt;
    void* hwnd;
    void* hwndPartner;
};
using PCONVINFO = CONVINFO*;

using PFNCALLBACK = HDDEDATA (*)(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2,
                                 HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);

// Instances.
UINT DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes);
BOOL DdeUninitialize(DWORD idInst);
UINT DdeGetLastError(DWORD idInst);

// String handles: instance-wide atoms, compared without regard to case, reference counted.
HSZ DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int iCodePage);
BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz);
BOOL DdeKeepStringHandle(DWORD idInst, HSZ hsz);
DWORD DdeQueryStringA(DWORD idInst, HSZ hsz, LPSTR psz, DWORD cchMax, int iCodePage);
int DdeCmpStringHandles(HSZ hsz1, HSZ hsz2);

// Data handles.
HDDEDATA DdeCreateDataHandle(DWORD idInst, LPBYTE pSrc, DWORD cb, DWORD cbOff, HSZ hszItem,
                             UINT wFmt, UINT afCmd);
LPBYTE DdeAccessData(HDDEDATA hData, LPDWORD pcbDataSize);
BOOL DdeUnaccessData(HDDEDATA hData);
BOOL DdeFreeDataHandle(HDDEDATA hData);
DWORD DdeGetData(HDDEDATA hData, LPBYTE pDst, DWORD cbMax, DWORD cbOff);

// Client conversations and transactions.
HCONV DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC);
BOOL DdeDisconnect(HCONV hConv);
HDDEDATA DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt,
                              UINT wType, DWORD dwTimeout, LPDWORD pdwResult);
BOOL DdeAbandonTransaction(DWORD idInst, HCONV hConv, DWORD idTransaction);
UINT DdeQueryConvInfo(HCONV hConv, DWORD idTransaction, PCONVINFO pConvInfo);

// Servers.
HDDEDATA DdeNameService(DWORD idInst, HSZ hsz1, HSZ hsz2, UINT afCmd);
BOOL DdePostAdvise(DWORD idInst, HSZ hszTopic, HSZ hszItem);

// Stand-in specifics, not part of the Windows interface.
namespace ddeml {
// Largest frame a peer may send; anything bigger ends the conversation.
constexpr DWORD MaxFrameBytes = 8u * 1024u * 1024u;
// Folder that holds the service sockets; created private to the user on first use.
// Honours $TURVISTA_DDE_DIR, then $XDG_RUNTIME_DIR, then a private folder under /tmp.
const char* SocketFolder();
// Empty when the socket folder is safe to use; else what is wrong with it.
const char* SocketFolderProblem();
// Full path of the socket of a service name.
const char* ServiceSocketPath(const char* service, char* buffer, DWORD size);
}
