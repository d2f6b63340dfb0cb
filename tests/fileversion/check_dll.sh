#!/usr/bin/env bash
# Checks a built Pellimor.dll: its format, the undecorated JNI export, and that it imports
# only DLLs of Windows itself (no mingw runtime DLL has to ship beside it).
# Usage: check_dll.sh OBJDUMP DLL EXPECTED_FORMAT
set -euo pipefail
objdump=$1 dll=$2 format=$3
dump=$("$objdump" -p "$dll")
fail=0
grep -q "file format $format" <<<"$dump" || { echo "not $format"; fail=1; }
grep -qE '^\s*\[ *[0-9]+\] Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL$' <<<"$dump" ||
  { echo "the undecorated JNI export is missing"; fail=1; }
grep -qE '\] _ZN9CPellimoraSERKS_$' <<<"$dump" || { echo "CPellimor::operator= is not exported"; fail=1; }
while read -r name; do
  case ${name,,} in
    kernel32.dll|msvcrt.dll|version.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) echo "imports $name" ;;
    *) echo "imports a DLL that is not part of Windows: $name"; fail=1 ;;
  esac
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
exit $fail
