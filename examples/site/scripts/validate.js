// validate.js - client-side checks for the contact form; the server checks again.
function trim(s) {
    return s.replace(/^\s+|\s+$/g, "");
}

function isEmail(s) {
    return /^[\w.\-]+@[\w\-]+(\.[\w\-]+)+$/.test(s);
}

function validateContact(form) {
    var problems = [];
    if (trim(form.name.value) == "") problems.push("your name");
    if (!isEmail(trim(form.email.value))) problems.push("a valid e-mail address");
    if (trim(form.message.value).length < 10) problems.push("a message of at least 10 characters");
    if (problems.length > 0) {
        alert("Please give " + problems.join(", ") + ".");
        return false;
    }
    return true;
}
