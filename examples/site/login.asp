<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include file="includes/db.inc" -->
<%
Dim strPageTitle, strUser, strPass, strBack, rs, strError
strPageTitle = "Log in"
strBack = GetParam("back")
If strBack = "" Or Left(strBack, 1) <> "/" Then strBack = "/default.asp"

If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    strUser = GetParam("username")
    strPass = GetParam("password")
    Set rs = RunQuery("SELECT UserID, FullName, IsAdmin, PasswordHash FROM Users WHERE UserName = ?", Array(strUser))
    If Not rs.EOF Then
        If rs("PasswordHash") = HashPassword(strUser, strPass) Then
            Session("UserID")   = rs("UserID")
            Session("UserName") = rs("FullName")
            Session("IsAdmin")  = CBool(rs("IsAdmin"))
            rs.Close
            Response.Redirect strBack
        End If
    End If
    rs.Close
    strError = "Unknown user name or wrong password."
End If

Function HashPassword(strName, strSecret)
    ' Stand-in: the live site calls a COM component here.
    Dim i, h
    h = 5381
    For i = 1 To Len(strName & ":" & strSecret)
        h = (h * 33 + Asc(Mid(strName & ":" & strSecret, i, 1))) Mod 2147483647
    Next
    HashPassword = Hex(h)
End Function
%>
<!-- #include file="includes/header.inc" -->
<h1>Log in</h1>
<% If strError <> "" Then WriteError strError %>
<form method="post" action="login.asp">
  <input type="hidden" name="back" value="<%= Server.HTMLEncode(strBack) %>">
  <p>User name: <input type="text" name="username" value="<%= Server.HTMLEncode(strUser) %>"></p>
  <p>Password: <input type="password" name="password"></p>
  <p><input type="submit" value="Log in"></p>
</form>
<!-- #include file="includes/footer.inc" -->
