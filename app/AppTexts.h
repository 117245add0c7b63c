#pragma once
// The update program's own texts and names, byte for byte. Korean texts are code page 949
// bytes; each line shows the text as it reads.

namespace pravik::app {

// 약국 프라빅 버전확인 0408
inline constexpr char kWindowCaption[] = "\xBE\xE0\xB1\xB9 \xC7\xC1\xB6\xF3\xBA\xF2 \xB9\xF6\xC0\xFC\xC8\xAE\xC0\xCE 0408";
// 버전을 확인하고 최신버전을 다운받고 있습니다.
inline constexpr char kWindowText[] =
    "\xB9\xF6\xC0\xFC\xC0\xBB \xC8\xAE\xC0\xCE\xC7\xCF\xB0\xED \xC3\xD6\xBD\xC5\xB9\xF6\xC0\xFC\xC0\xBB "
    "\xB4\xD9\xBF\xEE\xB9\xDE\xB0\xED \xC0\xD6\xBD\xC0\xB4\xCF\xB4\xD9.";
// 굴림
inline constexpr char kWindowFont[] = "\xB1\xBC\xB8\xB2";
// 프로그램죽이기
inline constexpr char kKillButtonCaption[] = "\xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5\xC1\xD7\xC0\xCC\xB1\xE2";

// 화일 복사중 Error(101)가 발생했습니다..
inline constexpr char kRetrievalFailedText[] =
    "\xC8\xAD\xC0\xCF \xBA\xB9\xBB\xE7\xC1\xDF Error(101)\xB0\xA1 \xB9\xDF\xBB\xFD\xC7\xDF\xBD\xC0\xB4\xCF\xB4\xD9..";
// 다운로드중...
inline constexpr char kRetrievalFailedCaption[] = "\xB4\xD9\xBF\xEE\xB7\xCE\xB5\xE5\xC1\xDF...";

inline constexpr unsigned kBoxStopIcon = 0x10;
inline constexpr unsigned kBoxTaskModal = 0x2000;
inline constexpr char kApplicationErrorCaption[] = "Application Error";
inline constexpr char kInOutErrorFormat[] = "I/O error %d";
inline constexpr int kNoStandardOutput = 105;

// The notifier as this program knows it.
inline constexpr char kNotifierMutex[] = "PravikNW.exe";
inline constexpr char kNotifierWindowTitle[] = "PravikNW";
inline constexpr char kNotifierRemoteName[] = "PravikNW.exe";
inline constexpr int kNotifierShowCommand = 5;

// The code table keys of the FTP settings.
inline constexpr char kFtpCodeID[] = "760";
inline constexpr char kFtpHostCode[] = "001";
inline constexpr char kFtpUserCode[] = "002";
inline constexpr char kFtpPassCode[] = "003";
inline constexpr char kFtpDirCode[] = "999";
// The SHA-256 of the notifier program, published with it; optional.
inline constexpr char kFtpHashCode[] = "998";
// The data connection's mode: "PASV" for passive; no row, empty or "PORT" for active. Optional.
inline constexpr char kFtpModeCode[] = "997";
// The staged rollout: the share of workstations that take a new version (0 to 100) and the
// workstations named to take it first. Optional; without them every workstation takes it.
inline constexpr char kRolloutShareCode[] = "996";
inline constexpr char kRolloutNamesCode[] = "995";
// "ON" switches on the start check of the notifier, the rollback of a new program that does
// not start and the holding of its version. Optional; without it, off.
inline constexpr char kStartCheckCode[] = "994";

inline constexpr unsigned kDelayTimerInterval = 2000;
// The local version of a workstation without version file.
inline constexpr char kNoLocalVersion[] = "N";

}  // namespace pravik::app
