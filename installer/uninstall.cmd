@echo off
rem Unregisters Oculo's modules in this folder, each with its own regsvr32;
rem the folder can be deleted afterwards. The cameras' settings stay, for a
rem later install, unless /purge is given. Run it as administrator.
rem   uninstall.cmd [/purge]
rem Exit code 0: done; 1: a module could not be unregistered (reported above).
call "%~dp0install.cmd" /u %*
exit /b %errorlevel%
