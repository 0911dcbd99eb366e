; A Valcrest patch package: a self-extracting console program. It extracts
; the launcher and the patch packages into a fresh folder, hands its own
; arguments to the launcher in SFXCMD, runs the launcher from that folder
; with its own standard handles, and ends with the launcher's exit code.
;
; scripts/package builds it and defines:
;   OUTPUT     the package to write
;   LAUNCHER   shipped as Mendora.Launcher.exe
;   PATCH      shipped as patch.rvx
;   OLD_PATCH  shipped as patch.rvx.old; optional
;   VERSION    the CMake project's version, major.minor.patch
;
; Ways out:
;   the launcher's exit code, all 32 bits of it
;   1603 (ERROR_INSTALL_FAILURE) when the folder cannot be made or the launcher
;        cannot be started, after one line on standard error
;   2    from NSIS itself, before any of this runs, when the package is damaged

Unicode true
SetCompressor /SOLID lzma
SilentInstall silent
; Runs as its caller, like the launcher: no elevation prompt of its own.
RequestExecutionLevel user
Name "Valcrest patch"
OutFile "${OUTPUT}"

; The same build makes the same package: no file times are stored (the LZMA
; stream would carry them), so only the files' bytes count.
SetDateSave off

; The launcher's version and supported systems (launcher/Mendora.Launcher.rc.in
; and its manifest): the package says which launcher it ships.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductName "Mendora.Launcher"
VIAddVersionKey /LANG=1033 FileDescription "Valcrest patch package (Mendora.Launcher ${VERSION})"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}.0"
; Like the launcher's resource, it names no copyright holder.
!pragma warning disable 9100
; Vista, 7, 8, 8.1, 10 and 11
ManifestSupportedOS {e2011457-1546-43c5-a5fe-008deee3d3f0} {35138b9a-5d96-4fbd-8e2d-a2440225f93a} \
                    {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} {1f676c76-80e1-4239-95bb-83d0f6d0da78} \
                    {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}

; makensis writes a GUI program, which a command prompt neither waits for nor
; lends its console. The header becomes a console program's before makensis
; appends the data to it.
!tempfile PACKAGE_HEADER
!packhdr "${PACKAGE_HEADER}" '"${__FILEDIR__}/pe-subsystem" set-console "${PACKAGE_HEADER}"'

!include FileFunc.nsh
!include LogicLib.nsh

!define STD_INPUT_HANDLE -10
!define STD_OUTPUT_HANDLE -11
!define STD_ERROR_HANDLE -12
!define HANDLE_FLAG_INHERIT 1
!define STARTF_USESTDHANDLES 0x100
!define INFINITE 0xFFFFFFFF
!define ERROR_ALREADY_EXISTS 183
!define ERROR_INSTALL_FAILURE 1603
!define TOKEN_QUERY 8
!define TokenUser 1
!define SDDL_REVISION_1 1
; New names to try when a name is taken already.
!define STAGING_ATTEMPTS 5

Var Folder
Var StdError

; Writes $0 as one line to standard error and ends the package with
; ERROR_INSTALL_FAILURE.
Function Fail
  StrCpy $0 "$0$\r$\n"
  StrLen $1 $0
  System::Call 'kernel32::WriteFile(p $StdError, m r0, i r1, *i .r2, p 0)'
  SetErrorLevel ${ERROR_INSTALL_FAILURE}
  Quit
FunctionEnd

; Runs $Folder\Mendora.Launcher.exe in $Folder with this program's standard
; handles and waits for it; $0 receives its exit code.
Function RunLauncher
  System::Call 'kernel32::GetStdHandle(i ${STD_INPUT_HANDLE}) p .r1'
  System::Call 'kernel32::GetStdHandle(i ${STD_OUTPUT_HANDLE}) p .r2'
  ; Only inheritable handles reach the launcher. Console handles of systems
  ; before Windows 8 refuse the flag and are handed over all the same.
  System::Call 'kernel32::SetHandleInformation(p r1, i ${HANDLE_FLAG_INHERIT}, i ${HANDLE_FLAG_INHERIT})'
  System::Call 'kernel32::SetHandleInformation(p r2, i ${HANDLE_FLAG_INHERIT}, i ${HANDLE_FLAG_INHERIT})'
  System::Call 'kernel32::SetHandleInformation(p $StdError, i ${HANDLE_FLAG_INHERIT}, i ${HANDLE_FLAG_INHERIT})'
  ; STARTUPINFOW of a 32-bit process (68 bytes) and PROCESS_INFORMATION.
  System::Call '*(i 68, p 0, p 0, p 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i ${STARTF_USESTDHANDLES}, \
                   &i2 0, &i2 0, p 0, p r1, p r2, p $StdError) p .r3'
  System::Call '*(p 0, p 0, i 0, i 0) p .r4'
  System::Call 'kernel32::CreateProcessW(w "$Folder\Mendora.Launcher.exe", w `"$Folder\Mendora.Launcher.exe"`, \
                p 0, p 0, i 1, i 0, p 0, w "$Folder", p r3, p r4) i .r5 ?e'
  Pop $6
  System::Free $3
  ${If} $5 = 0
    System::Free $4
    StrCpy $0 "Could not start Mendora.Launcher.exe. Error code: $6."
    Call Fail
  ${EndIf}
  System::Call '*$4(p .r7, p .r8)'
  System::Free $4
  System::Call 'kernel32::CloseHandle(p r8)'
  System::Call 'kernel32::WaitForSingleObject(p r7, i ${INFINITE})'
  System::Call 'kernel32::GetExitCodeProcess(p r7, *i .r0)'
  System::Call 'kernel32::CloseHandle(p r7)'
FunctionEnd

; $0 receives this process's account as a SID text ("S-1-5-..."), or
; nothing when the token cannot be read.
Function ReadOwnAccount
  StrCpy $0 ""
  System::Call 'advapi32::OpenProcessToken(p -1, i ${TOKEN_QUERY}, *p .r1) i .r2'
  ${If} $2 = 0
    Return
  ${EndIf}
  System::Call 'advapi32::GetTokenInformation(p r1, i ${TokenUser}, p 0, i 0, *i .r3)'
  System::Alloc $3
  Pop $4
  System::Call 'advapi32::GetTokenInformation(p r1, i ${TokenUser}, p r4, i r3, *i .r3) i .r2'
  ${If} $2 <> 0
    ; TOKEN_USER starts with the pointer to the account's SID.
    System::Call '*$4(p .r5)'
    System::Call 'advapi32::ConvertSidToStringSidW(p r5, *p .r6) i .r2'
    ${If} $2 <> 0
      System::Call '*$6(&w${NSIS_MAX_STRLEN} .r0)'
      System::Call 'kernel32::LocalFree(p r6)'
    ${EndIf}
  ${EndIf}
  System::Free $4
  System::Call 'kernel32::CloseHandle(p r1)'
FunctionEnd

; Creates $Folder, the folder the package extracts to. It is the launcher's
; folder, the patching tool's working folder and the first entry of its PATH,
; and the package may run as SYSTEM, whose temporary folder every user can
; write. So its name cannot be guessed (random, never the clock), it
; is created in one call with rights for SYSTEM, Administrators and this
; account only, nothing inherited, and it is never a folder, file or link
; that exists already: a name that is taken means trying a new one.
Function CreateStagingFolder
  Call ReadOwnAccount
  StrCpy $Folder "$TEMP\ValcrestPatch"
  ${If} $0 == ""
    StrCpy $0 "Could not create the folder $Folder for the patch package."
    Call Fail
  ${EndIf}
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW( \
                w "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;$0)", i ${SDDL_REVISION_1}, *p .r7, p 0) i .r2'
  ${If} $2 = 0
    StrCpy $0 "Could not create the folder $Folder for the patch package."
    Call Fail
  ${EndIf}
  ; SECURITY_ATTRIBUTES of a 32-bit process: length, descriptor, not inheritable.
  System::Call '*(i 12, p r7, i 0) p .r8'
  System::Alloc 16
  Pop $6
  StrCpy $9 0
  ${Do}
    IntOp $9 $9 + 1
    ; 128 bits from the system's random generator (RtlGenRandom), in hex.
    ; It returns a BOOLEAN: only the low byte counts.
    System::Call 'advapi32::SystemFunction036(p r6, i 16) i .r3'
    IntOp $3 $3 & 0xFF
    ${If} $3 = 0
      ${Break}
    ${EndIf}
    System::Call '*$6(i .r0, i .r1, i .r2, i .r4)'
    IntFmt $0 "%08X" $0
    IntFmt $1 "%08X" $1
    IntFmt $2 "%08X" $2
    IntFmt $4 "%08X" $4
    StrCpy $Folder "$TEMP\ValcrestPatch-$0$1$2$4"
    ; Fails for any name that exists, a dangling link included.
    System::Call 'kernel32::CreateDirectoryW(w "$Folder", p r8) i .r3 ?e'
    Pop $4
    ${If} $3 <> 0
    ${OrIf} $4 <> ${ERROR_ALREADY_EXISTS}
    ${OrIf} $9 >= ${STAGING_ATTEMPTS}
      ${Break}
    ${EndIf}
  ${Loop}
  System::Free $6
  System::Free $8
  System::Call 'kernel32::LocalFree(p r7)'
  ${If} $3 = 0
    StrCpy $0 "Could not create the folder $Folder for the patch package."
    Call Fail
  ${EndIf}
FunctionEnd

Section
  System::Call 'kernel32::GetStdHandle(i ${STD_ERROR_HANDLE}) p .r0'
  StrCpy $StdError $0

  ; A fresh folder that the package never removes: after a detach the
  ; patching tool goes on reading the package from it.
  Call CreateStagingFolder
  SetOutPath $Folder
  File "/oname=Mendora.Launcher.exe" "${LAUNCHER}"
  File "/oname=patch.rvx" "${PATCH}"
!ifdef OLD_PATCH
  File "/oname=patch.rvx.old" "${OLD_PATCH}"
!endif

  ${GetParameters} $0
  System::Call 'kernel32::SetEnvironmentVariableW(w "SFXCMD", w r0)'
  Call RunLauncher
  SetErrorLevel $0
SectionEnd
