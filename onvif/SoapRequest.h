// The SOAP requests a camera search sends: SOAP 1.2 envelopes with the
// ONVIF namespaces declared on the envelope, and the WS-Security header that
// logs in with a UsernameToken (a password digest, never the password).
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

// The envelope around `body`; `header` goes into the SOAP header (empty: none).
std::string SoapEnvelope(const std::string& body, const std::string& header);

// "2026-12-08T05:48:03Z" for seconds since 1970 (UTC).
std::string UtcText(int64_t seconds);
// Seconds since 1970 (UTC) for a civil date and time.
int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second);

// Base64(SHA-1(nonce + created + password)).
std::string PasswordDigest(const std::string& nonce, const std::string& created, const std::string& password);
// The WS-Security header with a fresh nonce, created at `createdUtc` (the
// camera's clock: its login is judged against it).
std::string UsernameTokenHeader(const std::string& user, const std::string& password, int64_t createdUtc);

// `count` random bytes from the system's source.
std::string RandomBytes(size_t count);
// A fresh "urn:uuid:..." (random, version 4) for a message.
std::string NewMessageId();
