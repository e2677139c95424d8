#include "store/SlovenianCollation.h"

#include "store/StoreError.h"

#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <cstring>

namespace kavrin::store {
namespace {

int compareSlovenian(void* context, int leftLength, const void* left, int rightLength, const void* right)
{
    auto* collator = static_cast<UCollator*>(context);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = ucol_strcollUTF8(collator, static_cast<const char*>(left), leftLength,
                                                     static_cast<const char*>(right), rightLength, &status);
    if (U_SUCCESS(status) && result != UCOL_EQUAL)
        return result == UCOL_LESS ? -1 : 1;
    // The collator holds some different texts equal (ignorable characters, other normal
    // forms); equality of tax numbers must be exact, so such ties go by code point.
    const int common = std::min(leftLength, rightLength);
    const int bytes = common > 0 ? std::memcmp(left, right, std::size_t(common)) : 0;
    if (bytes != 0)
        return bytes < 0 ? -1 : 1;
    return leftLength < rightLength ? -1 : (leftLength > rightLength ? 1 : 0);
}

void closeCollator(void* context)
{
    ucol_close(static_cast<UCollator*>(context));
}

} // namespace

void registerSlovenianCollation(sqlite3* db)
{
    if (db == nullptr)
        throw StoreError(QStringLiteral("The Slovenian collation needs an open connection"));
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("sl", &status);
    // The root order instead of the Slovenian one would sort č after all of c..z wrongly.
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING) {
        if (collator != nullptr)
            ucol_close(collator);
        throw StoreError(
            QStringLiteral("The Slovenian locale is not available (%1)").arg(QString::fromLatin1(u_errorName(status))));
    }
    ucol_setStrength(collator, UCOL_TERTIARY);
    const int rc = sqlite3_create_collation_v2(db, "sl", SQLITE_UTF8, collator, compareSlovenian, closeCollator);
    if (rc != SQLITE_OK) {
        // SQLite does not call the destructor when the registration fails.
        ucol_close(collator);
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
}

} // namespace kavrin::store
