@echo off
rem Corvantis test kit @VERSION@ (commit @COMMIT@): runs each test program
rem of the kit in turn and writes what each did to results.txt beside this
rem file, which it writes nowhere else. cmd only, for Windows 7 to 11.
rem Exits with 0 only when every program passed.
setlocal EnableExtensions DisableDelayedExpansion
set "KIT=%~dp0"
set /a PASSED=0, FAILED=0

echo Corvantis test kit @VERSION@
echo.
echo For a few minutes windows will open, move, hide and close on this
echo desktop. Leave the keyboard and mouse alone until the last line says
echo how many programs passed; the results go to results.txt beside
echo run-tests.cmd. Close the QQ Game client first: the tests would hide
echo and close its windows too.
echo.

rem results.txt is opened once for the whole run: a process a test leaves
rem behind may still hold it, and a second opening would then fail.
call :programs > "%KIT%results.txt"
echo.
echo %PASSED% passed, %FAILED% failed
if %FAILED% neq 0 exit /b 1
exit /b 0

rem Everything written to the standard output goes to results.txt; what
rem the console shows goes to the standard error.
:programs
echo Corvantis test kit @VERSION@, commit @COMMIT@
rem "ver" prints an empty line first.
for /f "delims=" %%V in ('ver') do echo Windows: %%V
echo Started: %DATE% %TIME%
@PROGRAMS@
echo.
echo Finished: %DATE% %TIME%
echo %PASSED% passed, %FAILED% failed
goto :eof

rem Runs the program %1 of the kit, its output and outcome into results.
:run
>&2 echo %~1
echo.
echo ==== %~1
if not exist "%KIT%%~1" (
  set /a FAILED+=1
  echo ---- %~1: FAILED, not in the kit ^(removed by an antivirus program?^)
  >&2 echo   FAILED, not in the kit
  goto :eof
)
"%KIT%%~1" 2>&1
set "CODE=%ERRORLEVEL%"
set "OUTCOME=FAILED"
if "%CODE%"=="0" set "OUTCOME=passed"
if "%CODE%"=="0" (set /a PASSED+=1) else (set /a FAILED+=1)
echo ---- %~1: %OUTCOME% (exit %CODE%)
>&2 echo   %OUTCOME% (exit %CODE%)
goto :eof
