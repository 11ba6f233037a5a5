// oculo-config's reader of regedit files over any bytes: it refuses with the
// line it stopped at, or gives changes for slots 0 to 9; and a UTF-8 file
// and the same text in UTF-16LE, as regedit writes it, get the same answer.
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "text/Unicode.h"
#include "tools/shared/RegFile.h"

namespace {

struct Answer {
    bool accepted;
    std::vector<SlotChange> changes;
    std::string error;
};

Answer Parse(const std::string& bytes) {
    Answer answer;
    answer.accepted = ParseRegFile(bytes, &answer.changes, &answer.error);
    if (!answer.accepted && !answer.changes.empty()) FuzzFail("a refused file gave changes");
    if (!answer.accepted && answer.error.compare(0, 5, "line ") != 0)
        FuzzFail("a refusal names no line: %s", answer.error.c_str());
    for (const SlotChange& change : answer.changes) {
        if (change.slot > 9) FuzzFail("a change for slot %u", static_cast<unsigned>(change.slot));
    }
    return answer;
}

bool Same(const SlotSetting& a, const SlotSetting& b) {
    return a.row == b.row && a.text == b.text && a.number == b.number && a.fps == b.fps;
}

bool Same(const Answer& a, const Answer& b) {
    if (a.accepted != b.accepted || a.error != b.error || a.changes.size() != b.changes.size()) return false;
    for (size_t i = 0; i < a.changes.size(); ++i) {
        const SlotChange& x = a.changes[i];
        const SlotChange& y = b.changes[i];
        if (x.slot != y.slot || x.bRemove != y.bRemove || x.bReplace != y.bReplace ||
            x.settings.size() != y.settings.size())
            return false;
        for (size_t k = 0; k < x.settings.size(); ++k)
            if (!Same(x.settings[k], y.settings[k])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const Answer answer = Parse(bytes);
    std::string_view body;
    std::wstring text;
    if (oculo::text::DetectFileEncoding(bytes, &body) != oculo::text::FileEncoding::kUtf8 ||
        !oculo::text::Utf8ToWide(body, &text)) {
        return 0;
    }
    if (!Same(answer, Parse("\xFF\xFE" + oculo::text::WideToUtf16Le(text))))
        FuzzFail("the file in UTF-16LE reads differently: %s", answer.error.c_str());
    return 0;
}
