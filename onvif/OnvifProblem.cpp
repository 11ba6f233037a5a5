#include "onvif/OnvifProblem.h"

std::string ProblemText(OnvifProblem problem, const std::string& host) {
    switch (problem) {
        case OnvifProblem::kNone: return std::string();
        case OnvifProblem::kNothingFound:
            return "No camera answered the search: use the camera's address directly, or switch ONVIF on with the "
                   "camera's own tool (its web page or app).";
        case OnvifProblem::kNoAdapter:
            return "No network adapter is up, so no camera can answer: connect this computer to the cameras' "
                   "network.";
        case OnvifProblem::kLoginNeeded:
            return host + " asks for a login: give the camera's user name and password.";
        case OnvifProblem::kLoginRefused: return host + " refused the login: check the user name and password.";
        case OnvifProblem::kNotOnvif:
            return host + " does not offer ONVIF: switch ONVIF on with the camera's own tool (its web page or app), "
                          "or type the camera's stream address.";
        case OnvifProblem::kNoAnswer:
            return host + " did not answer in time: check the address, and that the camera is on and reachable.";
        case OnvifProblem::kUnreachable:
            return host + " cannot be reached: check the address, and that the camera is on and on this network.";
        case OnvifProblem::kNoStreams:
            return host + " offers no video stream over ONVIF: type the camera's stream address instead.";
        case OnvifProblem::kBadAddress:
            return "'" + host + "' is no camera address: give a host name, an IP address, or a device service "
                                "address (http://...).";
        case OnvifProblem::kCancelled: return "Cancelled.";
    }
    return std::string();
}
