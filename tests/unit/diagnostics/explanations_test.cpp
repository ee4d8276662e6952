// Every raising place, every reader status and every box of the launcher is explained, and the
// Windows error names come from the toolchain's header.
#include "diagnostics/explanations.h"

#include <gtest/gtest.h>

#include <string>

#include "diagnostics/error_messages.h"
#include "diagnostics/raising_places.h"
#include "diagnostics/windows_error_names.h"

namespace linkmoor {
namespace {

bool Said(const char* text) { return text != nullptr && text[0] != '\0'; }

TEST(Explanations, EveryRaisingPlaceAndReaderStatusHasOne) {
    for (const raising::RaisingPlace& place : raising::kRaisingPlaces) {
        SCOPED_TRACE(testing::Message() << "module " << place.module << " line " << place.line);
        const PlaceExplanation* explained = FindPlace(place.module, place.line);
        ASSERT_NE(explained, nullptr);
        EXPECT_TRUE(Said(explained->operation) && Said(explained->doing) &&
                    Said(explained->cause) && Said(explained->next));
        EXPECT_NE(ModuleName(place.module), nullptr);
    }
    for (int32_t status : {-1, -2, -3}) {
        SCOPED_TRACE(status);
        EXPECT_NE(FindPlace(raising::StatusHigh(status), raising::StatusLow(status)), nullptr);
    }
    EXPECT_EQ(FindPlace(19, 999), nullptr);
}

TEST(Explanations, EveryBoxWithAFixedTextHasOne) {
    const char* const texts[] = {kAdministratorText, kOldWindowsText,   kUnpackFailedText,
                                 kDamagedPackageText, kOutOfMemoryText, kNoWorkFolderText,
                                 kLegacyNoticeText,   kUnexpectedErrorText};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const BoxExplanation* found = nullptr;
        for (const BoxExplanation& box : BoxExplanations())
            if (std::string(box.text) == text) found = &box;
        ASSERT_NE(found, nullptr);
        EXPECT_TRUE(Said(found->meaning));
        if (found->hasPlace) {
            EXPECT_NE(FindPlace(found->module, found->line), nullptr);
            EXPECT_NE(FindCode(found->code), nullptr);
        } else {
            EXPECT_TRUE(Said(found->cause) && Said(found->next));
        }
    }
}

TEST(Explanations, CodesAreNamedByTheToolchainsHeader) {
    EXPECT_STREQ(WindowsErrorName(0), "ERROR_SUCCESS");
    EXPECT_STREQ(WindowsErrorName(112), "ERROR_DISK_FULL");
    EXPECT_STREQ(WindowsErrorName(1359), "ERROR_INTERNAL_ERROR");
    EXPECT_EQ(WindowsErrorName(raising::kError64BitSystem), nullptr);
    for (const CodeExplanation& code : CodeExplanations()) {
        SCOPED_TRACE(code.code);
        EXPECT_TRUE(Said(code.meaning));
        EXPECT_EQ(code.fileCause == nullptr, code.fileNext == nullptr);
        EXPECT_EQ(code.launchCause == nullptr, code.launchNext == nullptr);
    }
}

}  // namespace
}  // namespace linkmoor
