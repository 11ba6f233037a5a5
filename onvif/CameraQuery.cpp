#include "onvif/CameraQuery.h"

#include <chrono>

#include "onvif/DeviceAnswers.h"
#include "onvif/OnvifText.h"
#include "onvif/ServiceAddress.h"
#include "onvif/SoapPost.h"
#include "onvif/SoapRequest.h"
#include "text/CameraAddress.h"
#include "text/Unicode.h"

using oculo::text::Utf8ToWide;
using oculo::text::WideToUtf8;

namespace {

int64_t LocalUtcSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

enum class LoginWay { kUntried, kToken, kDigest };

// One camera's questions: the login and the way that works, the clock's
// offset, the limit of the whole.
class CCameraQuestions {
public:
    CCameraQuestions(const CameraLoginUtf8& login, const COnvifCancel& cancel)
        : m_login(login), m_cancel(cancel), m_whole(kQueryLimitMs) {}

    void SetClockOffset(int64_t seconds) { m_offset = seconds; }

    // What a question asks of the login: none, or one it carries. Cameras
    // answer the device service's first questions to anyone, so their
    // answer does not tell which way of logging in the camera takes.
    enum class Login { kNone, kCarried, kNeeded };

    // Posts `body` to `address` with the login, at most twice.
    PostResult Ask(const std::string& address, const std::string& body, Login need = Login::kNeeded) {
        if (need == Login::kNone || m_login.user.empty()) return Post(address, SoapEnvelope(body, std::string()));
        if (m_way != LoginWay::kDigest) {
            const std::string header =
                UsernameTokenHeader(m_login.user, m_login.password, LocalUtcSeconds() + m_offset);
            PostResult result = Post(address, SoapEnvelope(body, header));
            if (result.outcome == PostOutcome::kAnswered && need == Login::kNeeded) m_way = LoginWay::kToken;
            // A refused token is a 401 or a fault; a camera that took it once is never asked twice.
            if (m_way == LoginWay::kToken || !Refused(result)) return result;
        }
        const oculo::text::CameraLogin login{Utf8ToWide(m_login.user), Utf8ToWide(m_login.password)};
        const std::string withLogin = WideToUtf8(oculo::text::WithCameraLogin(Utf8ToWide(address), login));
        PostResult result = Post(withLogin, SoapEnvelope(body, std::string()));
        if (result.outcome == PostOutcome::kAnswered) m_way = LoginWay::kDigest;
        return result;
    }

    // Why a request came to nothing.
    OnvifProblem Problem(const PostResult& result) const {
        switch (result.outcome) {
            case PostOutcome::kAnswered: return OnvifProblem::kNotOnvif;  // answered, but not what was asked
            case PostOutcome::kRefused:
                return m_login.user.empty() ? OnvifProblem::kLoginNeeded : OnvifProblem::kLoginRefused;
            case PostOutcome::kHttpError:
            case PostOutcome::kTooLarge: return OnvifProblem::kNotOnvif;
            case PostOutcome::kNoAnswer: return OnvifProblem::kNoAnswer;
            case PostOutcome::kCancelled: return OnvifProblem::kCancelled;
            case PostOutcome::kUnreachable: return m_whole.Passed() ? OnvifProblem::kNoAnswer : OnvifProblem::kUnreachable;
        }
        return OnvifProblem::kNotOnvif;
    }

private:
    static bool Refused(const PostResult& result) {
        return result.outcome == PostOutcome::kRefused ||
               (result.outcome == PostOutcome::kHttpError && (result.status == 400 || result.status == 500));
    }

    PostResult Post(const std::string& address, const std::string& envelope) {
        return PostSoap(address, envelope, CDeadline(kRequestLimitMs).Within(m_whole), m_cancel);
    }

    const CameraLoginUtf8& m_login;
    const COnvifCancel& m_cancel;
    const CDeadline m_whole;
    int64_t m_offset = 0;
    LoginWay m_way = LoginWay::kUntried;
};

// A media service's address as the camera listed it, on the host the device
// service answered at (a camera behind NAT lists its own addresses).
std::string OnHost(const std::string& service, const std::string& host) {
    return service.empty() ? std::string() : WithHost(service, host);
}

std::string StreamUriRequest(bool bMedia2, const std::string& token) {
    if (bMedia2) {
        return "<tr2:GetStreamUri><tr2:Protocol>RtspUnicast</tr2:Protocol><tr2:ProfileToken>" + XmlEscaped(token) +
               "</tr2:ProfileToken></tr2:GetStreamUri>";
    }
    return "<trt:GetStreamUri><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport><tt:Protocol>RTSP"
           "</tt:Protocol></tt:Transport></trt:StreamSetup><trt:ProfileToken>" +
           XmlEscaped(token) + "</trt:ProfileToken></trt:GetStreamUri>";
}

}  // namespace

OnvifProblem AskCameraStreams(const std::string& deviceService, const CameraLoginUtf8& login,
                              const COnvifCancel& cancel, std::vector<CameraStream>* streams) {
    streams->clear();
    const AddressParts device = SplitAddress(deviceService);
    if (!device.valid) return OnvifProblem::kBadAddress;
    CCameraQuestions questions(login, cancel);

    // The camera's clock, which a UsernameToken is judged by; it asks no
    // login. A camera that tells it otherwise (asks a login for it, or
    // answers with a fault) is taken to keep ours.
    using Login = CCameraQuestions::Login;
    PostResult result = questions.Ask(deviceService, "<tds:GetSystemDateAndTime/>", Login::kNone);
    int64_t cameraTime = 0;
    if (result.outcome == PostOutcome::kAnswered && ParseCameraClock(result.body, &cameraTime)) {
        questions.SetClockOffset(cameraTime - LocalUtcSeconds());
    } else if (result.outcome != PostOutcome::kRefused && result.outcome != PostOutcome::kAnswered &&
               result.outcome != PostOutcome::kHttpError) {
        return questions.Problem(result);
    }

    MediaServices services;
    result = questions.Ask(deviceService,
                           "<tds:GetServices><tds:IncludeCapability>false</tds:IncludeCapability></tds:GetServices>",
                           Login::kCarried);
    if (result.outcome != PostOutcome::kAnswered || !ParseMediaServices(result.body, &services)) {
        if (result.outcome != PostOutcome::kAnswered && result.outcome != PostOutcome::kHttpError) {
            return questions.Problem(result);
        }
        // Older cameras know only GetCapabilities.
        result = questions.Ask(deviceService,
                               "<tds:GetCapabilities><tds:Category>Media</tds:Category></tds:GetCapabilities>",
                               Login::kCarried);
        if (result.outcome != PostOutcome::kAnswered || !ParseMediaServices(result.body, &services)) {
            return questions.Problem(result);
        }
    }
    const bool bMedia2 = !services.media2.empty();
    const std::string media = OnHost(bMedia2 ? services.media2 : services.media, device.host);
    if (media.empty()) return OnvifProblem::kNoStreams;

    std::vector<MediaProfile> profiles;
    result = questions.Ask(media, bMedia2 ? "<tr2:GetProfiles><tr2:Type>All</tr2:Type></tr2:GetProfiles>"
                                          : "<trt:GetProfiles/>");
    if (result.outcome != PostOutcome::kAnswered || !ParseProfiles(result.body, &profiles)) {
        return questions.Problem(result);
    }
    for (const MediaProfile& profile : profiles) {
        result = questions.Ask(media, StreamUriRequest(bMedia2, profile.token));
        std::string uri;
        if (result.outcome != PostOutcome::kAnswered || !ParseStreamUri(result.body, &uri)) {
            // A profile without an RTSP stream is left out; a camera gone
            // quiet ends the questions with the streams it told so far.
            if (result.outcome == PostOutcome::kAnswered || result.outcome == PostOutcome::kHttpError) continue;
            if (streams->empty()) return questions.Problem(result);
            break;
        }
        CameraStream stream;
        stream.name = profile.name.empty() ? PrintableText(profile.token) : profile.name;
        stream.codec = profile.codec;
        stream.width = profile.width;
        stream.height = profile.height;
        stream.fps = profile.fps;
        stream.address = ReachableStreamAddress(uri, device.host);
        if (!stream.address.empty()) streams->push_back(stream);
    }
    return streams->empty() ? OnvifProblem::kNoStreams : OnvifProblem::kNone;
}
