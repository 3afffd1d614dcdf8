<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include file="includes/db.inc" -->
<%
Dim strPageTitle, strName, strEmail, strSubject, strMessage, strErrors, blnSent
strPageTitle = "Contact us"
blnSent = False

If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    strName    = GetParam("name")
    strEmail   = GetParam("email")
    strSubject = GetParam("subject")
    strMessage = GetParam("message")

    If strName = "" Then strErrors = strErrors & "Please give your name.<br>"
    If Not IsValidEmail(strEmail) Then strErrors = strErrors & "Please give a valid e-mail address.<br>"
    If Len(strMessage) < 10 Then strErrors = strErrors & "Your message is too short.<br>"

    If strErrors = "" Then
        Dim objMail
        Set objMail = Server.CreateObject("CDO.Message")
        objMail.From = strEmail
        objMail.To = "info@example.com"
        objMail.Subject = "[Web] " & strSubject
        objMail.TextBody = strName & " wrote:" & vbCrLf & vbCrLf & strMessage
        objMail.Send
        Set objMail = Nothing

        Call RunQuery("INSERT INTO Messages (Name, Email, Subject, Body, Received) VALUES (?, ?, ?, ?, Now())", _
                      Array(strName, strEmail, strSubject, strMessage))
        blnSent = True
    End If
End If
%>
<!-- #include file="includes/header.inc" -->
<h1>Contact us</h1>
<% If blnSent Then %>
<p>Thank you, <%= Server.HTMLEncode(strName) %>. We will answer within two working days.</p>
<% Else %>
<% If strErrors <> "" Then Response.Write "<p class=""error"">" & strErrors & "</p>" %>
<script language="JavaScript" src="scripts/validate.js"></script>
<form method="post" action="contact.asp" onsubmit="return validateContact(this)">
<table>
  <tr><td>Name:</td><td><input type="text" name="name" size="40" value="<%= Server.HTMLEncode(strName) %>"></td></tr>
  <tr><td>E-mail:</td><td><input type="text" name="email" size="40" value="<%= Server.HTMLEncode(strEmail) %>"></td></tr>
  <tr><td>Subject:</td><td>
    <select name="subject">
      <option>Order question</option>
      <option>Gardening advice</option>
      <option>Website problem</option>
    </select></td></tr>
  <tr><td valign="top">Message:</td><td><textarea name="message" rows="8" cols="50"><%= Server.HTMLEncode(strMessage) %></textarea></td></tr>
  <tr><td></td><td><input type="submit" value="Send"></td></tr>
</table>
</form>
<% End If %>
<!-- #include file="includes/footer.inc" -->
