# The machine's own Debian archive, read from its apt sources (APT_DIR,
# default /etc/apt): one-line "deb" entries of sources.list and *.list, and
# deb822 stanzas of *.sources. Sourced by setup.sh and win32-codecs.sh.

# "URI SUITE" for every enabled "deb" entry of the release: its codename (or
# sid, unstable, testing, stable) and that codename's -updates, -security and
# the like. Other vendors' sources are passed over.
debian_sources() {
    local apt_dir=${1:-/etc/apt} codename
    codename=$( (. /etc/os-release && echo "${VERSION_CODENAME:-}") 2>/dev/null || true)
    local files=()
    for f in "$apt_dir/sources.list" "$apt_dir"/sources.list.d/*.list "$apt_dir"/sources.list.d/*.sources; do
        [ -f "$f" ] && files+=("$f")
    done
    [ ${#files[@]} -gt 0 ] || return 0
    awk -v codename="$codename" '
        function release(suite) {
            return suite != "" && (suite == codename || suite ~ /^(sid|unstable|testing|stable)$/ ||
                                   (codename != "" && index(suite, codename "-") == 1))
        }
        function found(uri, suite) { print uri, suite }
        # deb822: a stanza ends at a blank line or at the end of its file.
        function stanza_end(   i, n, s) {
            if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no" && uri != "") {
                n = split(suites, s, " ")
                for (i = 1; i <= n; i++) if (release(s[i])) found(uri, s[i])
            }
            types = ""; uri = ""; suites = ""; enabled = ""
        }
        FNR == 1 && prev ~ /\.sources$/ { stanza_end() }
        { prev = FILENAME }
        /^[ \t]*#/ { next }   # a comment line, which does not end a stanza
        { sub(/#.*/, "") }
        FILENAME ~ /\.sources$/ {
            if ($0 ~ /^[ \t]*$/) { stanza_end(); next }
            key = tolower($1)
            if (key == "types:") { types = $0; sub(/^[^:]*:[ \t]*/, "", types) }
            else if (key == "uris:") uri = $2
            else if (key == "suites:") { suites = $0; sub(/^[^:]*:[ \t]*/, "", suites) }
            else if (key == "enabled:") enabled = $2
            next
        }
        $1 == "deb" {
            line = $0
            sub(/\[[^]]*\]/, "", line)   # [option=value ...]
            split(line, f, " ")
            if (release(f[3])) found(f[2], f[3])
        }
        END { if (prev ~ /\.sources$/) stanza_end() }
    ' "${files[@]}"
}

# The URI of the first source whose suite is the release itself, so that
# security and update sources are passed over.
debian_archive_uri() {
    debian_sources "$@" | awk '$2 !~ /-/ { print $1; exit }'
}
