#!/usr/bin/env bash
# The Windows installer: an MSI package (built with wixl, Debian's msitools) of the window
# (velmoor-terminal.exe), velmoor-cli.exe, and every DLL they need: Qt's, the platform and style
# plugins Qt loads at run time, and the compiler's runtime DLLs.
#
#   scripts/windows-installer.sh BUILD_DIR QT_DIR
#
# BUILD_DIR is the Windows cross build (scripts/test-windows.sh makes build-win/), QT_DIR the Qt
# it was built with (scripts/build-qt-windows.sh). Writes
# BUILD_DIR/velmoor-terminal-VERSION-win64.msi and prints its path; VERSION is the project's
# one version (project(VERSION) in CMakeLists.txt, as the build recorded it).
#
# The DLLs are found, not listed: starting from the two programs and the plugins, each file's
# imports (objdump -p) are looked up in Qt's bin folder and the compiler's runtime folders and
# taken along, and theirs in turn; an import found in none of them must be a Windows system DLL
# (Wine has one by that name) or an API set (api-ms-win-*, ext-ms-*), or the script stops. Everything shipped is stripped.
#
# The package installs per machine into "C:\Program Files\Velmoor\Velmoor Test Terminal", with a
# Start-menu entry ("Velmoor Test Terminal") and the uninstall entry that Windows keeps for every
# MSI package. A newer version replaces an older one (the upgrade code stays the same). Silent:
#   msiexec /i velmoor-terminal-VERSION-win64.msi /qn      msiexec /x ... /qn
# Uninstalling removes the program files only: the data folder (C:\Dranmere\T7Status) and the
# unit history (%LOCALAPPDATA%\Velmoor) are the operator's and stay.
set -euo pipefail
build=${1:?the Windows build folder}
qt=${2:?the Qt for Windows folder}
host=x86_64-w64-mingw32
build=$(cd "$build" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
window=$(find "$build" -name velmoor-terminal.exe -path '*/qt/*' | head -1)
cli=$(find "$build" -name velmoor-cli.exe -path '*/cli/*' | head -1)
[ -n "$window" ] && [ -n "$cli" ] || { echo "velmoor-terminal.exe or velmoor-cli.exe is not built in $build" >&2; exit 1; }

stage=$build/installer/stage
rm -rf "$build/installer"
mkdir -p "$stage"
cp "$window" "$cli" "$stage/"
# The plugins Qt loads by name: the windows platform and the styles (the Windows look).
for dir in platforms styles; do mkdir -p "$stage/$dir"; done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt"/plugins/styles/*.dll "$stage/styles/"

# The import walk.
search=("$qt/bin" "$(dirname "$("$host-g++-posix" -print-file-name=libstdc++-6.dll)")"
        "$(dirname "$("$host-g++-posix" -print-file-name=libwinpthread-1.dll)")")
wine_system=$(ls -d /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows 2>/dev/null | head -1 || true)
declare -A seen
queue=("$stage"/*.exe "$stage"/*/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    found=""
    for d in "${search[@]}"; do
      [ -f "$d/$dll" ] && { found=$d/$dll; break; }
    done
    if [ -n "$found" ]; then
      cp "$found" "$stage/$dll"
      queue+=("$stage/$dll")
    elif [[ "$key" == api-ms-win-* || "$key" == ext-ms-* ]]; then
      :  # an API set: a name the Windows loader resolves to its own DLLs
    elif [ -z "$wine_system" ] || [ ! -f "$wine_system/$key" ]; then
      echo "$(basename "$file") needs $dll, which is neither Qt's, the compiler's nor Windows' own" >&2
      exit 1
    fi
  done < <("$host-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec "$host-strip" --strip-unneeded {} +

# The package's description: one component per file, under the installation folder.
wxs=$build/installer/velmoor-terminal.wxs
ids=0
component_refs=""
files_of() {  # files_of DIR: the components of the files in DIR (a stage subfolder or "")
  local f
  for f in "$stage/${1:+$1/}"*; do
    [ -f "$f" ] || continue
    ids=$((ids + 1))
    printf '        <Component Id="c%d" Guid="*"><File Id="f%d" Source="%s" KeyPath="yes"/></Component>\n' \
      "$ids" "$ids" "${f#"$build/installer/"}"
    component_refs+="      <ComponentRef Id=\"c$ids\"/>"$'\n'
  done
}
# (Not in $(...): the numbering and the references are kept in this shell.)
files_of "" >"$build/installer/program.xml"
files_of platforms >"$build/installer/platforms.xml"
files_of styles >"$build/installer/styles.xml"
program_files=$(cat "$build/installer/program.xml")
platform_files=$(cat "$build/installer/platforms.xml")
style_files=$(cat "$build/installer/styles.xml")
cat >"$wxs" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Velmoor Test Terminal" Version="$version" Language="1033" Manufacturer="Velmoor"
           UpgradeCode="6F1B3C1E-58A2-4C0D-9B7E-3A5D2E9C4F17">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Description="Velmoor Test Terminal $version" Comments="Bench test terminal for Velmoor transponders"/>
    <Media Id="1" Cabinet="terminal.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="A newer Velmoor Test Terminal is already installed."/>
    <Property Id="ARPNOMODIFY" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="MakerFolder" Name="Velmoor">
          <Directory Id="INSTALLDIR" Name="Velmoor Test Terminal">
$program_files
            <Directory Id="PlatformsFolder" Name="platforms">
$platform_files
            </Directory>
            <Directory Id="StylesFolder" Name="styles">
$style_files
            </Directory>
          </Directory>
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Component Id="StartMenuEntry" Guid="0C7D4A52-1E93-4B6F-A2D8-5F3C9E1B7A64">
          <Shortcut Id="TerminalShortcut" Name="Velmoor Test Terminal" Description="Bench test terminal for Velmoor transponders"
                    Target="[INSTALLDIR]velmoor-terminal.exe" WorkingDirectory="INSTALLDIR"/>
          <RegistryValue Root="HKLM" Key="Software\\Velmoor\\Velmoor Test Terminal" Name="StartMenuEntry" Type="integer" Value="1" KeyPath="yes"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id="Terminal" Level="1" Title="Velmoor Test Terminal">
$component_refs      <ComponentRef Id="StartMenuEntry"/>
    </Feature>
  </Product>
</Wix>
EOF
msi=$build/velmoor-terminal-$version-win64.msi
rm -f "$msi"
(cd "$build/installer" && wixl -a x64 -o "$msi" "$(basename "$wxs")" >&2)
echo "$msi"
