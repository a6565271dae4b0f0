.pragma library

// The rows of a list the host wrote: joined by "|", with "|" and "\" inside a
// row escaped by a backslash.
function rows(text) {
    return fields(text).filter(r => r.length > 0)
}

// The fields of a list the host wrote, empty ones kept: joined and escaped as rows are.
function fields(text) {
    if (text.length === 0)
        return []
    if (text.indexOf("\\") < 0)
        return text.split("|")
    const result = []
    let field = ""
    for (let i = 0; i < text.length; ++i) {
        const c = text[i]
        if (c === "\\" && i + 1 < text.length) {
            field += text[++i]
        } else if (c === "|") {
            result.push(field)
            field = ""
        } else {
            field += c
        }
    }
    result.push(field)
    return result
}

// The fields taken as rows of as many fields as there are names, each an object.
function records(text, names) {
    const all = fields(text)
    const result = []
    for (let i = 0; i + names.length <= all.length; i += names.length) {
        const record = {}
        for (let f = 0; f < names.length; ++f)
            record[names[f]] = all[i + f]
        result.push(record)
    }
    return result
}
