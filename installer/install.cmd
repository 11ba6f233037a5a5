@echo off
rem Installs Oculo from the unpacked .zip as the setup program does: copies
rem x64\ (64-bit Windows only), x86\, the guide, the licences and these two
rem scripts to "Program Files\Oculo", records that location for the tools
rem (HKLM\SOFTWARE\TALVO\Oculo, InstallDir: they register modules only from
rem there or from folders only administrators can change), then registers the
rem modules there, each with its own regsvr32 (x64\Oculo.ax for 64-bit
rem applications, x86\Oculo.ax for 32-bit ones), and adds "Oculo Settings" to
rem the Start menu. A registered module is loaded into every application that
rem opens a camera, elevated ones included, so it is registered only from a
rem folder that only administrators may change, never from where the .zip was
rem unpacked. Run it as administrator.
rem   install.cmd              install and register
rem   install.cmd /u [/purge]  remove the Windows camera apps' virtual cameras
rem                            (x64\oculo-config unregister), unregister and
rem                            remove the installed files, the record and the
rem                            Start menu's entry (what uninstall.cmd does);
rem                            the cameras' settings stay unless /purge is given
rem Exit code 0: done; 1: a copy or a module failed (reported above).
setlocal
set "HERE=%~dp0"
set FAILED=0
set "MODE=%~1"
if /i "%MODE%"=="/u" (set "ARGS=/u" & set "DONE=unregistered") else (set "ARGS=" & set "DONE=registered")

rem A 32-bit cmd on 64-bit Windows sees the 32-bit System32 and Program
rem Files: it reaches the 64-bit ones as Sysnative and ProgramW6432.
set "SYS64="
set "SYS32=%WINDIR%\System32"
if defined PROCESSOR_ARCHITEW6432 (
    set "SYS64=%WINDIR%\Sysnative"
) else if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" (
    set "SYS64=%WINDIR%\System32"
    set "SYS32=%WINDIR%\SysWOW64"
)
rem The record lives in the 64-bit registry view of 64-bit Windows.
set "REGVIEW="
if defined SYS64 set "REGVIEW=/reg:64"
set "RECORD=HKLM\SOFTWARE\TALVO\Oculo"
set "PF=%ProgramFiles%"
if defined ProgramW6432 set "PF=%ProgramW6432%"
set "DEST=%PF%\Oculo\"
rem Oculo Settings of the system's own bitness serves both kinds of application.
set "SETTINGS=%DEST%x86\oculo-settings.exe"
if defined SYS64 set "SETTINGS=%DEST%x64\oculo-settings.exe"

if /i "%MODE%"=="/u" goto uninstall

if /i "%HERE%"=="%DEST%" goto register
echo Copying Oculo to %DEST%
if defined SYS64 call :copydir x64
call :copydir x86
for %%f in (GUIDE.txt LICENSE.txt OculoStatus.h FFMPEG-LICENSE.txt FFMPEG-BUILD.txt PUGIXML-LICENSE.txt install.cmd uninstall.cmd) do call :copyfile %%f
if not %FAILED%==0 goto failed

:register
reg add "%RECORD%" /v InstallDir /t REG_SZ /d "%DEST:~0,-1%" /f %REGVIEW% >nul
if errorlevel 1 (
    echo FAILED: the installed location could not be recorded in %RECORD%
    set FAILED=1
)
if defined SYS64 call :regsvr32 "%SYS64%\regsvr32.exe" "%DEST%x64\Oculo.ax"
call :regsvr32 "%SYS32%\regsvr32.exe" "%DEST%x86\Oculo.ax"
call :startmenu add
if not %FAILED%==0 goto failed
echo Oculo is installed in %DEST% and registered. Open "Oculo Settings" in the Start menu to set up a camera ^(see GUIDE.txt^).
exit /b 0

:uninstall
reg delete "%RECORD%" /v InstallDir /f %REGVIEW% >nul 2>&1
if exist "%SETTINGS%" call :startmenu remove
rem Only the 64-bit oculo-config removes the virtual cameras; it unregisters
rem both modules too, which regsvr32 then confirms.
if defined SYS64 if exist "%DEST%x64\oculo-config.exe" call :cameras
if defined SYS64 if exist "%DEST%x64\Oculo.ax" call :regsvr32 "%SYS64%\regsvr32.exe" "%DEST%x64\Oculo.ax"
if exist "%DEST%x86\Oculo.ax" call :regsvr32 "%SYS32%\regsvr32.exe" "%DEST%x86\Oculo.ax"
if /i "%~2"=="/purge" (
    reg delete "HKLM\SOFTWARE\TALVO\Oculo" /f /reg:64 >nul 2>&1
    reg delete "HKLM\SOFTWARE\TALVO\Oculo" /f /reg:32 >nul 2>&1
    echo The cameras' settings are removed.
)
if not %FAILED%==0 goto failed
rem Files in use by a running application stay; the scripts stay when they
rem are the ones running.
if exist "%DEST%x64" rd /s /q "%DEST%x64"
if exist "%DEST%x86" rd /s /q "%DEST%x86"
for %%f in (GUIDE.txt LICENSE.txt OculoStatus.h FFMPEG-LICENSE.txt FFMPEG-BUILD.txt PUGIXML-LICENSE.txt) do if exist "%DEST%%%f" del /q "%DEST%%%f"
if /i not "%HERE%"=="%DEST%" (
    for %%f in (install.cmd uninstall.cmd) do if exist "%DEST%%%f" del /q "%DEST%%%f"
    rd "%DEST%" >nul 2>&1
)
echo Oculo is unregistered and removed from %DEST%.
exit /b 0

:failed
echo.
echo Run this as administrator, from the unpacked folder with its x64 and x86 folders,
echo with no application using a camera.
exit /b 1

rem :copydir NAME  the unpacked folder NAME, whole, into the install folder.
:copydir
if not exist "%HERE%%~1\Oculo.ax" (
    echo FAILED: "%HERE%%~1\Oculo.ax" is missing
    set FAILED=1
    exit /b 0
)
xcopy "%HERE%%~1" "%DEST%%~1\" /e /i /y /q >nul
if errorlevel 1 (
    echo FAILED: %~1 could not be copied to %DEST%%~1
    set FAILED=1
)
exit /b 0

rem :copyfile NAME  one file beside the folders, when the .zip has it.
:copyfile
if not exist "%HERE%%~1" exit /b 0
copy /y "%HERE%%~1" "%DEST%%~1" >nul
if errorlevel 1 (
    echo FAILED: %~1 could not be copied to %DEST%
    set FAILED=1
)
exit /b 0

rem :startmenu add^|remove  the Start menu's "Oculo Settings", made by the program itself.
:startmenu
if not exist "%SETTINGS%" (
    echo FAILED: %SETTINGS% is missing
    set FAILED=1
    exit /b 0
)
start "" /wait "%SETTINGS%" --start-menu %~1
if errorlevel 1 (
    echo FAILED: the Start menu's "Oculo Settings" could not be changed ^(%~1^)
    set FAILED=1
)
exit /b 0

rem :cameras  the virtual cameras (and the modules) by the 64-bit oculo-config.
:cameras
"%DEST%x64\oculo-config.exe" unregister
if errorlevel 1 (
    echo FAILED: the Windows camera apps' virtual cameras could not be removed ^(see above^)
    set FAILED=1
)
exit /b 0

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
