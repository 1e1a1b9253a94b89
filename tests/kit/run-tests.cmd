@echo off
rem Corvantis test kit @VERSION@ (commit @COMMIT@): runs each test program
rem of the kit in turn and writes what each did to results.txt beside this
rem file, which it writes nowhere else. cmd only, for Windows 7 to 11.
rem Exits with 0 only when every program passed.
setlocal EnableExtensions DisableDelayedExpansion
set "KIT=%~dp0"
set "RESULTS=%~dp0results.txt"
set /a PASSED=0, FAILED=0

echo Corvantis test kit @VERSION@
echo.
echo For a few minutes windows will open, move, hide and close on this
echo desktop. Leave the keyboard and mouse alone until the last line says
echo how many programs passed; the results go to results.txt beside
echo run-tests.cmd. Close the QQ Game client first: the tests would hide
echo and close its windows too.
echo.

> "%RESULTS%" echo Corvantis test kit @VERSION@, commit @COMMIT@
rem "ver" prints an empty line first.
for /f "delims=" %%V in ('ver') do >> "%RESULTS%" echo Windows: %%V
>> "%RESULTS%" echo Started: %DATE% %TIME%

@PROGRAMS@

>> "%RESULTS%" echo.
>> "%RESULTS%" echo Finished: %DATE% %TIME%
>> "%RESULTS%" echo %PASSED% passed, %FAILED% failed
echo.
echo %PASSED% passed, %FAILED% failed
if %FAILED% neq 0 exit /b 1
exit /b 0

rem Runs the program %1 of the kit, its output and outcome into results.
:run
echo %~1
>> "%RESULTS%" echo.
>> "%RESULTS%" echo ==== %~1
if not exist "%KIT%%~1" (
  set /a FAILED+=1
  >> "%RESULTS%" echo ---- %~1: FAILED, not in the kit ^(removed by an antivirus program?^)
  echo   FAILED, not in the kit
  goto :eof
)
"%KIT%%~1" >> "%RESULTS%" 2>&1
set "CODE=%ERRORLEVEL%"
set "OUTCOME=FAILED"
if "%CODE%"=="0" set "OUTCOME=passed"
if "%CODE%"=="0" (set /a PASSED+=1) else (set /a FAILED+=1)
>> "%RESULTS%" echo ---- %~1: %OUTCOME% (exit %CODE%)
echo   %OUTCOME% (exit %CODE%)
goto :eof
