// The text library over any bytes: the codec's conversions lose nothing they
// should keep and are stable where they replace, the .reg grammar reads any
// line of either character type, and reads back what its writer wrote, and
// any text splits into an address's parts that join back into it and masks.
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "text/CameraAddress.h"
#include "text/RegSyntax.h"
#include "text/Unicode.h"

using namespace oculo::text;

namespace {

void CheckUtf8(const std::string& bytes) {
    std::wstring wide;
    const bool wellFormed = Utf8ToWide(bytes, &wide);
    const std::string again = WideToUtf8(wide);
    if (wellFormed && again != bytes) FuzzFail("well-formed UTF-8 does not come back the same");
    std::wstring twice;
    if (!Utf8ToWide(again, &twice) || twice != wide)
        FuzzFail("UTF-8 written from WCHARs does not read back alike");
}

void CheckUtf16(const std::string& bytes) {
    std::wstring wide;
    if (Utf16LeToWide(bytes, &wide) != (bytes.size() % 2 == 0)) FuzzFail("an odd byte count is not told");
    if (WideToUtf16Le(wide) != bytes.substr(0, bytes.size() & ~size_t(1)))
        FuzzFail("UTF-16LE does not come back unit for unit");
}

// Every line of the text, and a line the writer makes of its first line.
template <typename String>
void CheckGrammar(const String& text, uint32_t number) {
    for (const auto& line : SplitRegLines(text)) ReadRegLine(line.text);
    const String first = text.substr(0, text.find(typename String::value_type('\n')));
    String written;
    AppendRegQuoted(&written, first);
    written += typename String::value_type('=');
    AppendRegDword(&written, number);
    const auto read = ReadRegLine(written);
    if (read.kind != RegLineKind::kValue || read.problem != RegProblem::kNone || read.name != first ||
        read.unknownEscape || read.number != number) {
        FuzzFail("a written value's line reads back differently");
    }
}

void CheckCameraAddress(const std::string& bytes) {
    const CameraAddressParts p = SplitCameraAddress(bytes);
    const std::string login = p.hasLogin ? p.user + (p.hasPassword ? ":" + p.password : "") + "@" : "";
    if (p.scheme + p.separator + login + p.hostPort + p.rest != bytes)
        FuzzFail("an address's parts join otherwise");
    MaskCameraAddress(bytes);
    MaskCameraText(bytes, p.password);
    const std::wstring wide = Utf8ToWide(bytes);
    WithCameraLogin(CameraAddressWithoutLogin(wide), CameraAddressLogin(wide));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint32_t number = in.U32();
    size_t count = 0;
    const uint8_t* rest = in.Take(size, &count);
    const std::string bytes(reinterpret_cast<const char*>(rest), count);
    CheckUtf8(bytes);
    CheckUtf16(bytes);
    CheckGrammar(bytes, number);
    CheckCameraAddress(bytes);
    std::wstring wide;
    Utf16LeToWide(bytes, &wide);
    CheckGrammar(wide, number);
    return 0;
}
