#pragma once
// What the status line says when a run fails: one line for each way it can end, so the user
// knows what happened and whether trying again can help.

namespace ruvevid {

inline constexpr const char* kTextUnreachable = "서버에 연결할 수 없습니다";
// Followed by " (HTTP " + the status + ")".
inline constexpr const char* kTextHttpStatus = "업데이트 파일을 받을 수 없습니다";
inline constexpr const char* kTextConnectionCut = "다운로드 연결이 끊어졌습니다";
inline constexpr const char* kTextNoLength = "업데이트 파일의 크기를 알 수 없습니다";
inline constexpr const char* kTextStalled = "서버 응답이 없어 다운로드를 중단했습니다";
inline constexpr const char* kTextNotAnUpdate = "올바른 업데이트 파일이 아닙니다";
inline constexpr const char* kTextDamaged = "업데이트 파일이 손상되었습니다";
inline constexpr const char* kTextDiskFull = "디스크 공간이 부족합니다";
inline constexpr const char* kTextCannotWrite = "프로그램 폴더에 쓸 수 없습니다";
inline constexpr const char* kTextCannotStart = "프로그램을 시작할 수 없습니다";
inline constexpr const char* kTextBusy = "업데이트가 이미 진행 중입니다";
inline constexpr const char* kTextBadSignature = "업데이트 파일의 서명을 확인할 수 없습니다";
// The first line of the box that shows an error nobody expected; its own text follows.
inline constexpr const char* kTextUnexpectedError = "예기치 않은 오류가 발생했습니다.";

}  // namespace ruvevid
