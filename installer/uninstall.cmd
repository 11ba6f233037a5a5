@echo off
rem Unregisters the Oculo modules that install.cmd put in "Program Files\Oculo",
rem each with its own regsvr32, and removes the installed files and the Start
rem menu's "Oculo Settings". The cameras' settings stay, for a later install,
rem unless /purge is given. Run it as administrator.
rem   uninstall.cmd [/purge]
rem Exit code 0: done; 1: a module could not be unregistered (reported above).
call "%~dp0install.cmd" /u %*
exit /b %errorlevel%
