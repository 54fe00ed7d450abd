# bash completion for chromaport-cli: its options, the words its options take,
# profiles (.icc, .icm) after the profile options, TIFF images and folders
# elsewhere.

_chromaport_cli() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -s|--source-profile)
            _filedir '@(icc|icm|ICC|ICM)'
            COMPREPLY+=($(compgen -W 'embedded' -- "$cur"))
            return ;;
        -d|--dest-profile|--fallback-profile)
            _filedir '@(icc|icm|ICC|ICM)'
            return ;;
        -i|--intent)
            COMPREPLY=($(compgen -W 'source perceptual relative saturation absolute 0 1 2 3 4' -- "$cur"))
            return ;;
        -c|--compress)
            COMPREPLY=($(compgen -W 'none lzw deflate zstd' -- "$cur"))
            return ;;
        --depth)
            COMPREPLY=($(compgen -W '8 16' -- "$cur"))
            return ;;
        --shard)
            COMPREPLY=($(compgen -W 'auto auto/' -- "$cur"))
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-s --source-profile --fallback-profile -d --dest-profile
            -i --intent -b --bpc -e --embed -m --multiple -q --quiet -k --keep-going
            -c --compress --depth --keep-metadata --shard --list --list0 -h --help
            --version' -- "$cur"))
        return
    fi
    _filedir '@(tif|tiff|TIF|TIFF)'
}
complete -F _chromaport_cli chromaport-cli
