# The demo's alias in Firebird's alias file, between two marker lines so
# that exactly what prepare-demo added can be taken away again, by
# `prepare-demo --remove` and by the package's purge (whose maintainer
# script carries a copy of this file: the package's files are gone by then).
# POSIX sh; perl is Essential in Debian.

# The first marker says whether prepare-demo also ended the file's last
# line, which had no line end: taking the entry away takes that away too.
demo_alias_begin='# Demo ERP database of Orvanto, added by prepare-demo (prepare-demo --remove takes it away)'
demo_alias_begin_after_line_end='# Demo ERP database of Orvanto, added by prepare-demo after ending the line above (prepare-demo --remove takes both away)'
demo_alias_end='# End of the demo ERP database of Orvanto'

# Prints the marked entry for alias line $2, to be appended to file $1.
demo_alias_entry() {
    if [ -s "$1" ] && [ -n "$(tail -c1 "$1")" ]; then
        printf '\n%s\n' "$demo_alias_begin_after_line_end"
    else
        printf '%s\n' "$demo_alias_begin"
    fi
    printf '%s\n%s\n' "$2" "$demo_alias_end"
}

# Takes the marked entries out of alias file $1, every other byte kept, the
# file replaced in one step with its owner and mode. An entry whose lines
# were changed in between (more than the one alias line) is left alone.
# Returns 0 also when there is nothing to take away; 1 when it cannot.
remove_demo_alias() {
    demo_file=$(readlink -f "$1") || return 0
    [ -f "$demo_file" ] || return 0
    grep -qxF -e "$demo_alias_begin" -e "$demo_alias_begin_after_line_end" "$demo_file" || return 0
    demo_new="$demo_file.orvanto-remove.$$"
    # shellcheck disable=SC2016 # perl's own variables
    if ! DEMO_BEGIN=$demo_alias_begin DEMO_BEGIN_NL=$demo_alias_begin_after_line_end DEMO_END=$demo_alias_end \
        perl -0777 -pe '
            my $line = qr/[ \t]*VALDORE[ \t]*=[^\n]*\n/i;
            s/\n\Q$ENV{DEMO_BEGIN_NL}\E\n$line\Q$ENV{DEMO_END}\E\n//g;
            s/(?:^|(?<=\n))\Q$ENV{DEMO_BEGIN}\E\n$line\Q$ENV{DEMO_END}\E\n//g;
        ' "$demo_file" >"$demo_new" 2>/dev/null ||
        ! chown --reference="$demo_file" "$demo_new" 2>/dev/null ||
        ! chmod --reference="$demo_file" "$demo_new" ||
        ! mv -f "$demo_new" "$demo_file"; then
        rm -f "$demo_new"
        return 1
    fi
}
