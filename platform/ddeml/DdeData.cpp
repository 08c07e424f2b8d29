#include "platform/ddeml/DdeData.h"

std::optional<QByteArray> DdeDataBytes(HDDEDATA data)
{
    if (!data)
        return std::nullopt;
    DWORD size = 0;
    const LPBYTE bytes = DdeAccessData(data, &size);
    if (!bytes)
        return std::nullopt;
    QByteArray copy(reinterpret_cast<const char*>(bytes), qsizetype(size));
    DdeUnaccessData(data);
    return copy;
}

QByteArray DdeTextOf(const QByteArray& bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}
