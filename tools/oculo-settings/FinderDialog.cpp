// Find cameras: the cameras a search of the local network finds (about 3 s,
// at once and on Search again) or one typed by hand (Other address...); a
// chosen camera is asked for its streams with the login typed; Use this
// stream fills the edit dialog's fields. The search and the questions run on
// a COnvifJob's thread, which posts the window a message when it is done,
// so the window never waits on the network; Stop, Cancel and Esc end them.
#include "platform/platform.h"
// After the platform, which brings in the SDK's base headers.
#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <new>

#include "onvif/CameraQuery.h"
#include "onvif/CameraSearch.h"
#include "onvif/OnvifJob.h"
#include "onvif/ServiceAddress.h"
#include "onvif/SoapPost.h"
#include "text/CameraAddress.h"
#include "text/Unicode.h"
#include "tools/oculo-settings/ListView.h"
#include "tools/oculo-settings/SettingsDialogs.h"
#include "tools/oculo-settings/SettingsIds.h"

using oculo::text::Utf8ToWide;
using oculo::text::WideToUtf8;

namespace {

// From the job's thread: its work is done. wParam: the job's number, so that
// the word of a job replaced in the meantime is ignored.
const UINT kJobDone = WM_APP + 1;
const UINT_PTR kProgressTimer = 1;
const UINT kProgressTickMs = 100;

const ListColumn kCameraColumns[] = {{L"Name", 100}, {L"Model", 80}, {L"Address", 64}, {L"Device service", 130}};
const ListColumn kStreamColumns[] = {{L"Stream", 150}, {L"Address", 224}};

enum class Work { kNone, kSearch, kAsk };

struct FinderState {
    explicit FinderState(SlotForm* form_) : form(form_) {}

    SlotForm* const form;  // the edit dialog's: its login to start with, the chosen stream at the end
    // The running job. Its work writes `problem`, `found` and `answered`,
    // which the window reads once the job says it is done.
    std::unique_ptr<COnvifJob> job;
    Work work = Work::kNone;
    WPARAM jobNumber = 0;
    DWORD startedAt = 0;
    int limitMs = 0;
    std::string askedHost;  // the camera asked, as sentences name it
    OnvifProblem problem = OnvifProblem::kNone;
    std::vector<FoundCamera> found;
    std::vector<CameraStream> answered;
    // What the lists show; `streamsOf` is the camera row the streams are of.
    std::vector<FoundCamera> cameras;
    std::vector<CameraStream> streams;
    int streamsOf = -1;
};

FinderState* StateOf(HWND dialog) { return reinterpret_cast<FinderState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }
HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
void Say(HWND dialog, const std::wstring& text) { SetDlgItemTextW(dialog, IDC_FINDER_STATUS, text.c_str()); }
void SayProblem(HWND dialog, OnvifProblem problem, const std::string& host) {
    // Here the way to a camera that keeps quiet is this window's own button.
    if (problem == OnvifProblem::kNothingFound) {
        Say(dialog, L"No camera answered the search: give its address with Other address, or switch ONVIF on with "
                    L"the camera's own tool (its web page or app) and Search again.");
        return;
    }
    Say(dialog, Utf8ToWide(ProblemText(problem, host)));
}

// "Main: H.264 1920x1080 25 fps"; what the camera did not tell is left out.
std::wstring StreamLabel(const CameraStream& stream, size_t number) {
    std::wstring label = stream.name.empty() ? L"Stream " + std::to_wstring(number) : Utf8ToWide(stream.name);
    label += L":";
    if (!stream.codec.empty()) label += L" " + Utf8ToWide(stream.codec);
    if (stream.width > 0 && stream.height > 0) {
        label += L" " + std::to_wstring(stream.width) + L"x" + std::to_wstring(stream.height);
    }
    if (stream.fps > 0.0) {
        WCHAR rate[32];
        std::swprintf(rate, 32, L" %g fps", stream.fps);
        label += rate;
    }
    return label;
}

void ShowCameras(HWND dialog) {
    const FinderState* state = StateOf(dialog);
    const HWND list = Item(dialog, IDC_FINDER_CAMERAS);
    SetListRowCount(list, int(state->cameras.size()));
    for (size_t row = 0; row < state->cameras.size(); ++row) {
        const FoundCamera& camera = state->cameras[row];
        SetListCell(list, int(row), 0, camera.name.empty() ? L"-" : Utf8ToWide(camera.name));
        SetListCell(list, int(row), 1, camera.model.empty() ? L"-" : Utf8ToWide(camera.model));
        SetListCell(list, int(row), 2, Utf8ToWide(camera.address));
        SetListCell(list, int(row), 3, Utf8ToWide(oculo::text::MaskCameraAddress(camera.deviceService)));
    }
}

void ShowStreams(HWND dialog) {
    const FinderState* state = StateOf(dialog);
    const HWND list = Item(dialog, IDC_FINDER_STREAMS);
    SetListRowCount(list, int(state->streams.size()));
    for (size_t row = 0; row < state->streams.size(); ++row) {
        SetListCell(list, int(row), 0, StreamLabel(state->streams[row], row + 1));
        SetListCell(list, int(row), 1, Utf8ToWide(oculo::text::MaskCameraAddress(state->streams[row].address)));
    }
    if (!state->streams.empty()) SelectListRow(list, 0);
}

// Stops the running job, if any (its work ends within 100 ms), and puts
// the buttons and the progress back as they are between jobs.
void StopJob(HWND dialog) {
    FinderState* state = StateOf(dialog);
    state->job.reset();
    state->work = Work::kNone;
    KillTimer(dialog, kProgressTimer);
    ShowWindow(Item(dialog, IDC_FINDER_PROGRESS), SW_HIDE);
    SetDlgItemTextW(dialog, IDC_FINDER_SEARCH, L"Search &again");
}

// Runs `work` on a new job, showing `text` and the time it may take.
void StartJob(HWND dialog, Work kind, int limitMs, const std::wstring& text,
              std::function<void(FinderState*, const COnvifCancel&)> work) {
    StopJob(dialog);
    FinderState* state = StateOf(dialog);
    state->job.reset(new (std::nothrow) COnvifJob);
    const WPARAM number = ++state->jobNumber;
    state->problem = OnvifProblem::kNone;
    state->found.clear();
    state->answered.clear();
    const bool bStarted =
        state->job && state->job->Start([state, work](const COnvifCancel& cancel) { work(state, cancel); },
                                        [dialog, number] { PostMessageW(dialog, kJobDone, number, 0); });
    if (!bStarted) {
        state->job.reset();
        Say(dialog, L"The search could not start: close other programs and try again.");
        return;
    }
    state->work = kind;
    state->startedAt = GetTickCount();
    state->limitMs = limitMs;
    SendMessageW(Item(dialog, IDC_FINDER_PROGRESS), PBM_SETRANGE32, 0, limitMs);
    SendMessageW(Item(dialog, IDC_FINDER_PROGRESS), PBM_SETPOS, 0, 0);
    ShowWindow(Item(dialog, IDC_FINDER_PROGRESS), SW_SHOW);
    SetTimer(dialog, kProgressTimer, kProgressTickMs, nullptr);
    SetDlgItemTextW(dialog, IDC_FINDER_SEARCH, L"Sto&p");
    Say(dialog, text);
}

void Search(HWND dialog) {
    const SearchOptions options = ToolSearchOptions();
    StartJob(dialog, Work::kSearch, options.seconds * 1000, L"Searching this network for cameras...",
             [options](FinderState* state, const COnvifCancel& cancel) {
                 state->problem = SearchCameras(options, cancel, &state->found);
             });
}

// Asks the selected camera for its streams with the login typed here.
void AskSelected(HWND dialog) {
    FinderState* state = StateOf(dialog);
    const int row = SelectedListRow(Item(dialog, IDC_FINDER_CAMERAS));
    if (row < 0 || size_t(row) >= state->cameras.size()) {
        Say(dialog, L"Choose a camera in the list first, or give its address with Other address.");
        return;
    }
    const FoundCamera camera = state->cameras[size_t(row)];
    const CameraLoginUtf8 login{WideToUtf8(WindowText(Item(dialog, IDC_FINDER_USER))),
                                WideToUtf8(WindowText(Item(dialog, IDC_FINDER_PASSWORD)))};
    state->streams.clear();
    state->streamsOf = row;
    ShowStreams(dialog);
    state->askedHost = camera.address;
    StartJob(dialog, Work::kAsk, kQueryLimitMs, L"Asking " + Utf8ToWide(camera.address) + L" for its streams...",
             [camera, login](FinderState* state, const COnvifCancel& cancel) {
                 state->problem = AskCameraStreams(camera.deviceService, login, cancel, &state->answered);
             });
}

void OnJobDone(HWND dialog, WPARAM number) {
    FinderState* state = StateOf(dialog);
    if (number != state->jobNumber || !state->job || !state->job->Wait(0)) return;
    const Work work = state->work;
    StopJob(dialog);
    if (work == Work::kSearch) {
        // Cameras typed by hand stay listed with those found.
        for (const FoundCamera& camera : state->cameras) {
            const bool bFound = std::any_of(state->found.begin(), state->found.end(), [&](const FoundCamera& f) {
                return f.deviceService == camera.deviceService;
            });
            if (!bFound && camera.endpoint.empty()) state->found.push_back(camera);
        }
        state->cameras = state->found;
        state->streams.clear();
        state->streamsOf = -1;
        ShowCameras(dialog);
        ShowStreams(dialog);
        if (state->problem != OnvifProblem::kNone) {
            SayProblem(dialog, state->problem, std::string());
            return;
        }
        SelectListRow(Item(dialog, IDC_FINDER_CAMERAS), 0);
        Say(dialog, std::to_wstring(state->cameras.size()) +
                        (state->cameras.size() == 1 ? L" camera found" : L" cameras found") +
                        L": choose one, type its user name and password, and List streams.");
        return;
    }
    state->streams = state->answered;
    ShowStreams(dialog);
    if (state->problem != OnvifProblem::kNone) {
        SayProblem(dialog, state->problem, state->askedHost);
        return;
    }
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog, IDC_FINDER_STREAMS)), TRUE);
    Say(dialog, L"Choose a stream and Use this stream: its address, size and frame rate go into the camera's "
                L"fields, its login stays in the user name and password.");
}

void OnProgressTick(HWND dialog) {
    const FinderState* state = StateOf(dialog);
    const DWORD elapsed = GetTickCount() - state->startedAt;
    SendMessageW(Item(dialog, IDC_FINDER_PROGRESS), PBM_SETPOS, std::min<DWORD>(elapsed, DWORD(state->limitMs)), 0);
}

INT_PTR CALLBACK OtherAddressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                *reinterpret_cast<std::wstring*>(GetWindowLongPtrW(dialog, DWLP_USER)) =
                    WindowText(GetDlgItem(dialog, IDC_OTHER_ADDRESS));
            }
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
            return TRUE;
    }
    return FALSE;
}

// A camera typed by hand joins the list and is asked for its streams.
void OtherAddress(HWND dialog) {
    std::wstring typed;
    if (RunDialog(dialog, IDD_OTHER_ADDRESS, OtherAddressProc, &typed) != IDOK) return;
    std::string service;
    if (!DeviceServiceAddress(WideToUtf8(typed), &service)) {
        SayProblem(dialog, OnvifProblem::kBadAddress, oculo::text::MaskCameraAddress(WideToUtf8(typed)));
        return;
    }
    FinderState* state = StateOf(dialog);
    const auto same = [&](const FoundCamera& camera) { return camera.deviceService == service; };
    auto listed = std::find_if(state->cameras.begin(), state->cameras.end(), same);
    if (listed == state->cameras.end()) {
        FoundCamera camera;
        camera.address = SplitAddress(service).host;
        camera.deviceService = service;
        state->cameras.push_back(camera);
        listed = state->cameras.end() - 1;
        ShowCameras(dialog);
    }
    SelectListRow(Item(dialog, IDC_FINDER_CAMERAS), int(listed - state->cameras.begin()));
    AskSelected(dialog);
}

// Use this stream (and Enter): the selected stream fills the form; with
// none listed yet, Enter on a camera asks it for its streams.
void Use(HWND dialog) {
    FinderState* state = StateOf(dialog);
    const int row = SelectedListRow(Item(dialog, IDC_FINDER_STREAMS));
    if (row < 0 || size_t(row) >= state->streams.size()) {
        if (state->work == Work::kNone) AskSelected(dialog);
        return;
    }
    const CameraStream& stream = state->streams[size_t(row)];
    FillFormFromStream(Utf8ToWide(stream.address), stream.width, stream.height, stream.fps, state->form);
    state->form->user = WindowText(Item(dialog, IDC_FINDER_USER));
    state->form->password = WindowText(Item(dialog, IDC_FINDER_PASSWORD));
    StopJob(dialog);
    EndDialog(dialog, IDOK);
}

void OnInit(HWND dialog, FinderState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    QuietNetworkMessages();
    AddListColumns(dialog, Item(dialog, IDC_FINDER_CAMERAS), kCameraColumns,
                   int(sizeof(kCameraColumns) / sizeof(kCameraColumns[0])));
    AddListColumns(dialog, Item(dialog, IDC_FINDER_STREAMS), kStreamColumns,
                   int(sizeof(kStreamColumns) / sizeof(kStreamColumns[0])));
    SetDlgItemTextW(dialog, IDC_FINDER_USER, state->form->user.c_str());
    SetDlgItemTextW(dialog, IDC_FINDER_PASSWORD, state->form->password.c_str());
    Search(dialog);
}

INT_PTR OnNotify(HWND dialog, const NMHDR& header) {
    FinderState* state = StateOf(dialog);
    if (header.idFrom == IDC_FINDER_CAMERAS && header.code == NM_DBLCLK) {
        AskSelected(dialog);
        return TRUE;
    }
    if (header.idFrom == IDC_FINDER_STREAMS && header.code == NM_DBLCLK) {
        Use(dialog);
        return TRUE;
    }
    // Another camera chosen: the streams listed are not its own.
    if (header.idFrom == IDC_FINDER_CAMERAS && header.code == LVN_ITEMCHANGED) {
        const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uNewState & LVIS_SELECTED) && change.iItem != state->streamsOf && !state->streams.empty()) {
            state->streams.clear();
            state->streamsOf = -1;
            ShowStreams(dialog);
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK FinderProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit(dialog, reinterpret_cast<FinderState*>(lParam));
            return TRUE;
        case WM_NOTIFY:
            return OnNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
        case WM_TIMER:
            if (wParam == kProgressTimer) OnProgressTick(dialog);
            return TRUE;
        case kJobDone:
            OnJobDone(dialog, wParam);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_FINDER_SEARCH:
                    if (StateOf(dialog)->work == Work::kNone) {
                        Search(dialog);
                    } else {
                        StopJob(dialog);
                        SayProblem(dialog, OnvifProblem::kCancelled, std::string());
                    }
                    return TRUE;
                case IDC_FINDER_OTHER: OtherAddress(dialog); return TRUE;
                case IDC_FINDER_ASK: AskSelected(dialog); return TRUE;
                case IDOK: Use(dialog); return TRUE;
                case IDCANCEL:
                    StopJob(dialog);
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            // However the window ends, its job ends with it, before the state goes.
            if (StateOf(dialog) != nullptr) StopJob(dialog);
            return FALSE;
    }
    return FALSE;
}

}  // namespace

bool FindCameras(HWND owner, SlotForm* form) {
    FinderState state(form);
    return RunDialog(owner, IDD_FINDER, FinderProc, &state) == IDOK;
}
