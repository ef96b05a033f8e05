# shellcheck shell=bash
# Sourced by the scripts that build a library for Windows from Debian's own source package.
# debian_source PACKAGE VERSION WORK: unpacks PACKAGE's source into WORK/source and prints the
# version unpacked: VERSION while the archive still has it, else the newest version of this Debian
# release that can be fetched (a mirror may list a version before it serves its files). The
# source comes through apt with a list and a state of its own (deb-src entries made from the
# Debian archives this machine already uses, under WORK/apt): the machine's apt setup is left as
# it is.
debian_source() {
    local package="$1" wanted="$2" work="$3"
    mkdir -p "$work/apt/lists/partial" "$work/apt/parts"
    # deb-src entries for the Debian archives apt already knows (their release files name Debian).
    # shellcheck disable=SC2016 # apt fills in the $(...) fields
    apt-get indextargets --format '$(ORIGIN) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
        awk '$1 == "Debian" { print "deb-src", $2, $3, $4 }' | sort -u > "$work/apt/sources.list"
    if [ ! -s "$work/apt/sources.list" ]; then
        echo "$package for Windows: apt knows no Debian archive to take the source from" >&2
        return 1
    fi
    local apt_private=(-o "Dir::Etc::SourceList=$work/apt/sources.list"
        -o "Dir::Etc::SourceParts=$work/apt/parts" -o "Dir::State::Lists=$work/apt/lists"
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root
        -o Debug::NoLocking=1)
    apt-get "${apt_private[@]}" -qq update >&2 || return 1
    local versions version
    versions=$({
        echo "$wanted"
        apt-cache "${apt_private[@]}" showsrc "$package" |
            awk -v p="$package" '/^Package:/ { ours = $2 == p } ours && /^Version:/ { print $2 }' |
            sort -urV
    })
    for version in $versions; do
        mkdir -p "$work/fetch"
        if (cd "$work/fetch" && apt-get "${apt_private[@]}" -qq source --download-only \
            "$package=$version") >> "$work/fetch.log" 2>&1; then
            dpkg-source -x "$work/fetch/${package}_${version#*:}.dsc" "$work/source" \
                > "$work/unpack.log" 2>&1 || { cat "$work/unpack.log" >&2; return 1; }
            echo "$version"
            return 0
        fi
        rm -rf "$work/fetch"
    done
    cat "$work/fetch.log" >&2
    return 1
}
