#!/usr/bin/env bash
# Fails when a file of src/ includes a layer it may not (the table in docs/ARCHITECTURE.md), when
# a file outside the system seam includes a system header, or when it works on files through
# std::filesystem instead of src/platform. The link order alone would not catch any of this:
# every library exports the whole of src/.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layer a path of src/ belongs to.
layer_of() {
  case "$1" in
    src/app/entry/*) echo entry ;;
    src/archive/codec/*) echo codec ;;
    src/archive/base/*) echo base ;;
    src/archive/zip/*) echo zip ;;
    src/platform/*) echo platform ;;
    src/download/*) echo download ;;
    src/app/*) echo app ;;
    src/ui/*) echo ui ;;
    *) echo unknown ;;
  esac
}

# The layers each layer may include besides itself.
allowed_for() {
  case "$1" in
    platform | codec) echo "" ;;
    base) echo "codec platform" ;;
    zip) echo "base codec platform" ;;
    download) echo "platform" ;;
    app) echo "zip base codec download platform" ;;
    ui) echo "app platform" ;;
    entry) echo "*" ;;
    *) echo "" ;;
  esac
}

# Files that may call the system directly: the seam, the program entry, and the native Windows
# window (its GDI drawing and message loop are the window itself, not a service behind it).
talks_to_system() {
  case "$1" in
    src/platform/* | src/app/entry/* | src/ui/win32/*) return 0 ;;
    *) return 1 ;;
  esac
}

system_headers='unistd\.h|fcntl\.h|sys/[a-z_/]+\.h|dirent\.h|spawn\.h|signal\.h|poll\.h|netdb\.h|netinet/[a-z_]+\.h|arpa/[a-z_]+\.h|pthread\.h|dlfcn\.h|termios\.h|windows\.h|winsock2?\.h|ws2tcpip\.h|wininet\.h|tlhelp32\.h|shellapi\.h|commctrl\.h|bcrypt\.h|shlobj\.h|winioctl\.h|io\.h|direct\.h|curl/curl\.h'
file_operations='std::filesystem::(exists|status|symlink_status|create_directory|create_directories|rename|remove|remove_all|copy|copy_file|file_size|resize_file|last_write_time|permissions|directory_iterator|recursive_directory_iterator|is_directory|is_regular_file|is_symlink|space|current_path|temp_directory_path|canonical|weakly_canonical|equivalent|read_symlink)\b'

failures=0
fail() {
  echo "$1" >&2
  failures=$((failures + 1))
}

while IFS= read -r file; do
  from=$(layer_of "$file")
  [ "$from" = unknown ] && fail "$file: not in any layer"
  allowed=$(allowed_for "$from")
  while IFS= read -r line; do
    target="src/${line}"
    [ -e "$target" ] || continue
    to=$(layer_of "$target")
    [ "$to" = "$from" ] && continue
    [ "$allowed" = "*" ] && continue
    case " $allowed " in
      *" $to "*) ;;
      *) fail "$file: the $from layer may not include $line ($to)" ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  if ! talks_to_system "$file"; then
    while IFS= read -r header; do
      fail "$file: includes the system header <$header>; system calls belong in src/platform"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/\1/p' "$file" |
      grep -E -x "$system_headers" || true)
    while IFS= read -r use; do
      fail "$file: $use works on files; file operations belong in src/platform"
    done < <(grep -o -E "$file_operations" "$file" | sort -u || true)
  fi
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures problem(s)" >&2
  exit 1
fi
echo "check-layers: every include follows the layer table"
