#!/usr/bin/env sh
# Fails when a program's --help, or that of one of its subcommands, names an
# option or a subcommand that its man page does not: the pages are written by
# hand and must follow the programs.
# Usage: man_pages_cover_options.sh MAN_PAGE PROGRAM
set -u
page=$1
program=$2
# The page's text with roff's escaped hyphens as plain ones.
text=$(sed 's/\\-/-/g' "$page")
help=$("$program" --help) || { echo "$program --help failed"; exit 1; }
# CLI11 lists the subcommands under "Subcommands:", one a line, up to a blank line.
commands=$(printf '%s\n' "$help" | awk '/^Subcommands:/ { on = 1; next } on && !NF { exit } on { print $1 }')
missing=""
mentions() { case $text in *"$1"*) ;; *) missing="$missing $2$1" ;; esac; }
for option in $(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
  mentions "$option" ""
done
for command in $commands; do
  mentions "$command" ""
  command_help=$("$program" "$command" --help) || { echo "$program $command --help failed"; exit 1; }
  for option in $(printf '%s\n' "$command_help" | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    mentions "$option" "$command "
  done
done
[ -z "$missing" ] || { echo "$page does not mention:$missing"; exit 1; }
