@echo off
rem Registers Oculo's modules from this folder (the .zip's contents, kept
rem together): x64\Oculo.ax for 64-bit applications, x86\Oculo.ax for 32-bit
rem ones, each with its own regsvr32. Run it as administrator.
rem   install.cmd              register both modules
rem   install.cmd /u [/purge]  unregister them (what uninstall.cmd does); the
rem                            cameras' settings stay unless /purge is given
rem Exit code 0: done; 1: a module failed (reported above).
setlocal
set "HERE=%~dp0"
set FAILED=0
set "MODE=%~1"
if /i "%MODE%"=="/u" (set "ARGS=/u" & set "DONE=unregistered") else (set "ARGS=" & set "DONE=registered")

rem A 32-bit cmd on 64-bit Windows sees the 32-bit System32: it reaches the
rem 64-bit one as Sysnative.
set "SYS64="
set "SYS32=%WINDIR%\System32"
if defined PROCESSOR_ARCHITEW6432 (
    set "SYS64=%WINDIR%\Sysnative"
) else if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" (
    set "SYS64=%WINDIR%\System32"
    set "SYS32=%WINDIR%\SysWOW64"
)
if defined SYS64 call :regsvr32 "%SYS64%\regsvr32.exe" "%HERE%x64\Oculo.ax"
call :regsvr32 "%SYS32%\regsvr32.exe" "%HERE%x86\Oculo.ax"

if /i "%MODE%"=="/u" if /i "%~2"=="/purge" (
    reg delete "HKLM\SOFTWARE\TALVO\Oculo" /f /reg:64 >nul 2>&1
    reg delete "HKLM\SOFTWARE\TALVO\Oculo" /f /reg:32 >nul 2>&1
    echo The cameras' settings are removed.
)
if not %FAILED%==0 goto failed
if /i "%MODE%"=="/u" (
    echo Oculo is unregistered: this folder can be deleted now.
) else (
    echo Oculo is registered. Configure a camera with oculo-config ^(see GUIDE.txt^).
)
exit /b 0

:failed
echo.
echo Run this as administrator, from the unpacked folder with its x64 and x86 folders.
exit /b 1

rem :regsvr32 REGSVR32 MODULE  one module, silently; a failure is reported.
:regsvr32
if not exist "%~2" (
    echo FAILED: %~2 is missing
    set FAILED=1
    exit /b 0
)
"%~1" /s %ARGS% "%~2"
set RC=%errorlevel%
if not "%RC%"=="0" (
    echo FAILED: %~2 not %DONE%: regsvr32 exited with %RC%
    set FAILED=1
) else (
    echo %DONE%: %~2
)
exit /b 0
